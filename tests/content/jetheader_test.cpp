#include "content/jetheader.h"

#include "content/contenterror.h"
#include "testbook.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace velmora::content {
namespace {

std::vector<uint8_t> keystream(std::vector<uint8_t> key, size_t length)
{
    std::vector<uint8_t> zeros(length, 0);
    rc4Apply(key, zeros);
    return zeros;
}

TEST(Rc4, MatchesThePublishedVectorAndTheHeaderMask)
{
    // The classic test vector: key "Key", plaintext "Plaintext".
    std::vector<uint8_t> text{'P', 'l', 'a', 'i', 'n', 't', 'e', 'x', 't'};
    rc4Apply(std::vector<uint8_t>{'K', 'e', 'y'}, text);
    EXPECT_EQ(text, (std::vector<uint8_t>{0xBB, 0xF3, 0x16, 0xE8, 0xD9, 0x40, 0xAF, 0x0A, 0xD3}));

    // The header key's keystream: its start, and the bytes that fall on the password area.
    const std::vector<uint8_t> stream = keystream({0xC7, 0xDA, 0x39, 0x6B}, kHeaderRegionSize);
    EXPECT_EQ(std::vector<uint8_t>(stream.begin(), stream.begin() + 8),
              (std::vector<uint8_t>{0xB5, 0x6F, 0x03, 0x62, 0x61, 0x08, 0xC2, 0x55}));
    const size_t at = kPasswordOffset - kHeaderRegionStart;
    EXPECT_EQ(std::vector<uint8_t>(stream.begin() + at, stream.begin() + at + 8),
              (std::vector<uint8_t>{0x86, 0xFB, 0xEC, 0x37, 0x5D, 0x44, 0x9C, 0xFA}));
}

TEST(PasswordMask, TruncatesTheCreationDateTowardZero)
{
    struct Case {
        const char *name;
        double date;
        std::array<uint8_t, 4> mask;
    };
    const Case cases[] = {
        {"worked example 44568.68", 44568.6847, {0x18, 0xAE, 0x00, 0x00}},
        {"just below a whole day", 44568.9999, {0x18, 0xAE, 0x00, 0x00}},
        {"before 1899: truncation, not floor", -1.5, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"past 2079: upper bytes in use", 65536.25, {0x00, 0x00, 0x01, 0x00}},
        {"not a number", std::nan(""), {0, 0, 0, 0}},
        {"out of int32 range", 1e12, {0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(passwordMask(c.date), c.mask);
    }
}

// A header written by our writer, parsed back.
JetHeader headerOf(const std::string &password, double date = 46000.5, uint32_t pageKey = 0)
{
    BookTable table;
    table.rows = test::numberedPages(1);
    JetWriteOptions options;
    options.password = password;
    options.creationDate = date;
    options.pageKey = pageKey;
    Result<std::string> image = buildJetDatabase(table, options);
    EXPECT_TRUE(image.ok());
    Result<JetHeader> header =
        parseJetHeader({reinterpret_cast<const uint8_t *>(image->data()), image->size()}, "x.mdb");
    EXPECT_TRUE(header.ok());
    return *header;
}

TEST(JetHeader, PasswordComparisonIsExactAndCaseSensitive)
{
    const JetHeader header = headerOf("Secret");
    EXPECT_TRUE(header.hasPassword());
    EXPECT_EQ(header.passwordText(), "Secret");
    struct Case {
        const char *candidate;
        bool matches;
    };
    const Case cases[] = {{"Secret", true}, {"secret", false}, {"SECRET", false}, {"Secret ", false},
                          {"Secre", false}, {"", false},       {"Secret\0", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.candidate);
        EXPECT_EQ(header.passwordMatches(c.candidate), c.matches);
    }
}

TEST(JetHeader, PasswordsRoundTripThroughTheMaskForAnyDate)
{
    const std::string twenty(20, 'x');
    const std::string passwords[] = {"64tolvaner82", "p", "密码ü", twenty};
    const double dates[] = {36526.0, 44568.6847, -700.25, 80000.0};
    for (const std::string &password : passwords) {
        for (double date : dates) {
            SCOPED_TRACE(password + " @ " + std::to_string(date));
            const JetHeader header = headerOf(password, date);
            EXPECT_TRUE(header.passwordMatches(password));
            EXPECT_EQ(header.passwordText(), password);
            EXPECT_EQ(header.creationDate, date);
        }
    }
    EXPECT_FALSE(headerOf(twenty).passwordMatches(twenty + "x")); // 21 characters cannot be stored
}

TEST(JetHeader, NoPasswordLeavesOnlyTheMaskAndReadsAsNone)
{
    const JetHeader header = headerOf("", 44568.6847, 0xA7B773E0);
    EXPECT_FALSE(header.hasPassword());
    EXPECT_TRUE(header.passwordMatches(""));
    EXPECT_EQ(header.pageKey, 0xA7B773E0u);
}

TEST(JetHeader, RejectsWhatIsNotAJetHeader)
{
    std::string good(kJetPageSize, '\0');
    good[1] = 1;
    std::memcpy(good.data() + 4, "Standard Jet DB", 16);
    good[0x14] = 1;
    struct Case {
        const char *name;
        std::string bytes;
        std::optional<JetVersion> version; // std::nullopt: rejected
    };
    auto with = [&](size_t at, char value) {
        std::string bytes = good;
        bytes[at] = value;
        return bytes;
    };
    const Case cases[] = {
        {"Jet 4", good, JetVersion::Jet4},
        {"Jet 3", with(0x14, 0), JetVersion::Jet3},
        {"ACE 12", with(0x14, 2), JetVersion::Newer},
        {"page type not 0", with(0, 1), std::nullopt},
        {"magic misspelt", with(5, 'x'), std::nullopt},
        {"cut inside the obscured region", good.substr(0, 0x97), std::nullopt},
        {"empty", std::string(), std::nullopt},
        {"text", std::string(200, 'a'), std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Result<JetHeader> header =
            parseJetHeader({reinterpret_cast<const uint8_t *>(c.bytes.data()), c.bytes.size()}, "f");
        ASSERT_EQ(header.ok(), c.version.has_value());
        if (c.version)
            EXPECT_EQ(header->version, *c.version);
        else
            EXPECT_EQ(header.error(), contentError(ContentError::UnrecognizedFormat, "f"));
    }
}

TEST(JetHeader, RecoversThePasswordsOfFilesMadeByOtherTools)
{
    const std::filesystem::path corpus = test::sharedCorpus();
    if (corpus.empty())
        GTEST_SKIP() << "shared corpus not present";
    struct Case {
        const char *file;
        const char *password; // "" = none
    };
    const Case cases[] = {
        {"mdbreader__password_data_V2000_with-password.mdb", "password"},
        {"mdbreader__password_data_V2003_with-password.mdb", "password"},
        {"ucanaccess__password.mdb", "ucanaccess"},
        {"jettoobjects__password-database.mdb", "abcd1234"},
        {"mdbreader__password_data_V2003_no-password.mdb", ""},
        {"jettoobjects__database.mdb", ""},
        {"jackcessencrypt__db-enc.mdb", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const std::string bytes = test::readBytes(corpus / c.file);
        Result<JetHeader> header =
            parseJetHeader({reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()}, c.file);
        ASSERT_TRUE(header.ok());
        EXPECT_EQ(header->hasPassword(), *c.password != '\0');
        EXPECT_EQ(header->passwordText(), c.password);
    }
}

} // namespace
} // namespace velmora::content
