#include "content/contenterror.h"

#include <array>
#include <string>

namespace velmora::content {
namespace {

struct ErrorRecord {
    ContentError which;
    long number;
    const char *description; // '|' stands for the subject
};

// The engine's own wording where it has one; the last rows are this store's own.
constexpr std::array kErrors{
    ErrorRecord{ContentError::FileNotFound, errnum::Unspecified, "Could not find file '|'."},
    ErrorRecord{ContentError::CannotOpenFile, errnum::Unspecified,
                "The Microsoft Jet database engine cannot open the file '|'. It is already opened "
                "exclusively by another user, or you need permission to view its data."},
    ErrorRecord{ContentError::UnrecognizedFormat, errnum::Unspecified, "Unrecognized database format '|'."},
    ErrorRecord{ContentError::DamagedDatabase, errnum::Unspecified,
                "Cannot open database '|'. It may not be a database that your application recognizes, "
                "or the file may be corrupt."},
    ErrorRecord{ContentError::BadPassword, errnum::SecurityFailure, "Not a valid password."},
    ErrorRecord{ContentError::ProviderNotFound, errnum::ProviderMissing,
                "Provider cannot be found. It may not be properly installed."},
    ErrorRecord{ContentError::BadConnectionString, errnum::BadArguments,
                "Arguments are of the wrong type, are out of acceptable range, or are in conflict with "
                "one another."},
    ErrorRecord{ContentError::ObjectClosed, errnum::Closed,
                "Operation is not allowed when the object is closed."},
    ErrorRecord{ContentError::ObjectOpen, errnum::Open, "Operation is not allowed when the object is open."},
    ErrorRecord{ContentError::ConnectionInvalid, errnum::InvalidConnection,
                "The connection cannot be used to perform this operation. It is either closed or invalid "
                "in this context."},
    ErrorRecord{ContentError::SyntaxError, errnum::Syntax,
                "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'."},
    ErrorRecord{ContentError::UnsupportedQuery, errnum::Syntax,
                "Syntax error in query '|'. Only 'select <field> from <table>' is supported."},
    ErrorRecord{ContentError::TableNotFound, errnum::TableMissing,
                "The Microsoft Jet database engine cannot find the input table or query '|'.  Make sure "
                "it exists and that its name is spelled correctly."},
    ErrorRecord{ContentError::FieldNotFound, errnum::ParamsMissing,
                "No value given for one or more required parameters."},
    ErrorRecord{ContentError::ItemNotFound, errnum::ItemMissing,
                "Item cannot be found in the collection corresponding to the requested name or ordinal."},
    ErrorRecord{ContentError::NoCurrentRecord, errnum::NoCurrent,
                "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
                "requires a current record."},
    ErrorRecord{ContentError::FetchBackward, errnum::CantFetchBackward,
                "Rowset does not support fetching backward."},
    ErrorRecord{ContentError::ValueTooLarge, errnum::Unspecified,
                "The value of field '|' is larger than the content store can return."},
};

} // namespace

Error contentError(ContentError which, std::string_view subject)
{
    for (const ErrorRecord &record : kErrors) {
        if (record.which != which)
            continue;
        std::string text = record.description;
        if (size_t bar = text.find('|'); bar != std::string::npos)
            text.replace(bar, 1, subject);
        return Error(record.number, std::move(text));
    }
    return Error(errnum::Unspecified, "Unspecified error");
}

} // namespace velmora::content
