// A stand-in for the main window: keeps the state the commands change, over a real
// book database written to a temporary installation folder.
#pragma once

#include "content/connection.h"
#include "content/jetwriter.h"
#include "content/recordset.h"
#include "navigation/readerwindow.h"
#include "navigation/writtenpages.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora::navigation::testing {

// Record k of the test books holds this document.
std::string recordDocument(int k);

class FakeReaderWindow : public ReaderWindow {
public:
    // A book whose b1 holds `rows` (std::nullopt = Null), opened on record 0 at page 0.
    explicit FakeReaderWindow(std::vector<std::optional<std::string>> rows,
                              content::FieldType type = content::FieldType::LongBinary);
    // The standard book: 26 records, record k holding recordDocument(k).
    FakeReaderWindow();
    ~FakeReaderWindow() override;

    std::int16_t pageno() const override { return m_pageno; }
    void setPageno(std::int16_t page) override { m_pageno = page; }
    void setPagepath(const std::string &path) override { pagepath = path; }
    std::string applicationPath() const override { return root.string(); }
    content::Recordset &rsxs() override { return m_rsxs; }
    WrittenPages &writtenPages() override { return written; }
    void buttonvisible() override { panelVisible = false; }
    void buttontrue() override { panelVisible = true; }
    void dong1() override;
    void setTurnButtonVisible(TurnButton button, bool visible) override;
    void navigateToPagepath() override;
    void focusText1() override { ++focusMoves; }
    void setText2(const std::string &text) override { text2 = text; }

    // What a navigation showed: the address and the document at that moment.
    struct Shown {
        std::string address;
        std::string document;
    };
    std::string fileText(const std::filesystem::path &file) const;

    std::filesystem::path root;
    std::string pagepath;
    bool panelVisible = false;
    bool pageUpVisible = false;
    bool pageDownVisible = true;
    std::string text2 = "Text2";
    int focusMoves = 0;
    std::vector<Shown> shown;
    WrittenPages written;

private:
    std::int16_t m_pageno = 0;
    std::shared_ptr<content::Connection> m_connection;
    content::Recordset m_rsxs;
};

} // namespace velmora::navigation::testing
