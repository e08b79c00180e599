// Where the archive is, and the key a heater's samples are kept under.

#include "archive/Archive.h"


#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(ArchiveKeyTest, IsTheSerialNumberAsShownOrUnset)
{
    const struct {
        std::int32_t SN;
        const char *Key;
    } cases[] = {
        {17090634, "1709-0634"},
        {10011000, "1001-1000"},
        {99539999, "9953-9999"},
        {17010000, "1701-0000"},
        // Unset: erased memory, nothing written, and what no year-week editor writes.
        {-1, "unset"},
        {0, "unset"},
        {1234, "unset"},
        {9990634, "unset"},
        {10001000, "unset"},
        {17000634, "unset"},
        {17540634, "unset"},
        {-17090634, "unset"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ArchiveKey(c.SN), QString::fromLatin1(c.Key)) << c.SN;
}

class ArchiveLocationTest : public ::testing::Test {
protected:
    void SetUp() override { FNamed = qEnvironmentVariableIsSet("HELVANE_ARCHIVE") ? std::optional(qgetenv("HELVANE_ARCHIVE")) : std::nullopt; }
    void TearDown() override
    {
        if (FNamed)
            qputenv("HELVANE_ARCHIVE", *FNamed);
        else
            qunsetenv("HELVANE_ARCHIVE");
    }

    std::optional<QByteArray> FNamed;
};

TEST_F(ArchiveLocationTest, IsTheNamedOneElseBesideTheDataLog)
{
    const QString data = QStringLiteral("/home/owner/.local/share/helvane");
    qunsetenv("HELVANE_ARCHIVE");
    EXPECT_EQ(ArchiveLocation(data), QStringLiteral("/home/owner/.local/share/helvane/Archive.sqlite"));
    qputenv("HELVANE_ARCHIVE", "");
    EXPECT_EQ(ArchiveLocation(data), QStringLiteral("/home/owner/.local/share/helvane/Archive.sqlite"));
    qputenv("HELVANE_ARCHIVE", "postgresql://heater@db.example:5433/heaters");
    EXPECT_EQ(ArchiveLocation(data), QStringLiteral("postgresql://heater@db.example:5433/heaters"));
    qputenv("HELVANE_ARCHIVE", "/srv/heater/archive.db");
    EXPECT_EQ(ArchiveLocation(data), QStringLiteral("/srv/heater/archive.db"));
}

}
