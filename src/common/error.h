// The one error value of the program: a number and a description, as the reader's
// users see them in an error report.
#pragma once

#include <string>
#include <utility>

namespace velmora {

struct Error {
    long number = 0;
    std::string description;

    Error() = default;
    Error(long number, std::string description) : number(number), description(std::move(description)) {}

    friend bool operator==(const Error &, const Error &) = default;
};

// Thrown where a failure must end the program; caught once, at the top of an event
// handler, which reports it and ends the process.
class Failure : public std::exception {
public:
    explicit Failure(Error error) : m_error(std::move(error)) {}
    const Error &error() const noexcept { return m_error; }
    const char *what() const noexcept override { return m_error.description.c_str(); }

private:
    Error m_error;
};

} // namespace velmora
