// The dial-up service over a table of fake RAS functions (Wine's rasapi32 has no entries and
// cannot dial): record sizes, buffer growth, a failed dial's handle, the drop notification.
#include <gtest/gtest.h>

#include <raserror.h>

#include <cstring>
#include <string>
#include <vector>

#include "../../win32/ras_api.h"
#include "platform/dialup.h"

namespace {

using namespace platform;

// What the fake system holds and what it was given.
struct FakeRas {
    std::vector<std::string> entries;
    int entryCallsToGrow = 0; // > 0: always asks for one more record than it got (a broken system)
    DWORD entrySizeAccepted = sizeof(RASENTRYA);
    DWORD entryExtraBytes = 0; // room an entry's alternate numbers need behind the record
    std::vector<std::pair<HRASCONN, std::string>> active;
    DWORD dialResult = ERROR_SUCCESS;
    HRASCONN dialHandle = reinterpret_cast<HRASCONN>(0x1234);
    DWORD dialParamsSize = 0;
    std::string dialEntry, dialNumber;
    std::vector<HRASCONN> hungUp;
    HANDLE notifyEvent = nullptr;
    int enumEntriesCalls = 0;
    int enumConnectionsCalls = 0;
};
FakeRas fake;

DWORD WINAPI FakeGetEntryProperties(LPCSTR, LPCSTR name, LPRASENTRYA entry, LPDWORD size, LPBYTE,
                                    LPDWORD) {
    if (entry->dwSize != fake.entrySizeAccepted) {
        return ERROR_INVALID_SIZE;
    }
    if (*size < sizeof(RASENTRYA) + fake.entryExtraBytes) {
        *size = sizeof(RASENTRYA) + fake.entryExtraBytes;
        return ERROR_BUFFER_TOO_SMALL;
    }
    if (std::string(name) != "IP connection for remote debugging of QREx") {
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    }
    std::strcpy(entry->szDeviceName, "Standard Modem on COM5");
    std::strcpy(entry->szLocalPhoneNumber, "*99***1#");
    return ERROR_SUCCESS;
}

DWORD WINAPI FakeEnumEntries(LPCSTR, LPCSTR, LPRASENTRYNAMEA list, LPDWORD bytes, LPDWORD count) {
    ++fake.enumEntriesCalls;
    EXPECT_EQ(list[0].dwSize, sizeof(RASENTRYNAMEA));
    DWORD needed = static_cast<DWORD>(fake.entries.size() * sizeof(RASENTRYNAMEA));
    if (fake.entryCallsToGrow > 0) {
        needed = *bytes + sizeof(RASENTRYNAMEA);
    }
    if (*bytes < needed) {
        *bytes = needed;
        *count = static_cast<DWORD>(fake.entries.size());
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (std::size_t i = 0; i < fake.entries.size(); ++i) {
        std::strcpy(list[i].szEntryName, fake.entries[i].c_str());
        std::strcpy(list[i].szPhonebookPath, "C:\\rasphone.pbk");
    }
    *count = static_cast<DWORD>(fake.entries.size());
    return ERROR_SUCCESS;
}

DWORD WINAPI FakeDial(LPRASDIALEXTENSIONS, LPCSTR, LPRASDIALPARAMSA parameters, DWORD, LPVOID,
                      LPHRASCONN handle) {
    fake.dialParamsSize = parameters->dwSize;
    fake.dialEntry = parameters->szEntryName;
    fake.dialNumber = parameters->szPhoneNumber;
    *handle = fake.dialHandle;
    return fake.dialResult;
}

DWORD WINAPI FakeHangUp(HRASCONN handle) {
    fake.hungUp.push_back(handle);
    return ERROR_SUCCESS;
}

DWORD WINAPI FakeGetConnectStatus(HRASCONN handle, LPRASCONNSTATUSA status) {
    if (status->dwSize != sizeof(RASCONNSTATUSA)) {
        return ERROR_INVALID_SIZE;
    }
    for (const auto& connection : fake.active) {
        if (connection.first == handle) {
            status->rasconnstate = RASCS_Connected;
            status->dwError = 0;
            return ERROR_SUCCESS;
        }
    }
    return ERROR_INVALID_HANDLE;
}

DWORD WINAPI FakeEnumConnections(LPRASCONNA list, LPDWORD bytes, LPDWORD count) {
    ++fake.enumConnectionsCalls;
    EXPECT_EQ(list[0].dwSize, sizeof(RASCONNA));
    *count = static_cast<DWORD>(fake.active.size());
    if (*bytes < fake.active.size() * sizeof(RASCONNA)) {
        *bytes = static_cast<DWORD>(fake.active.size() * sizeof(RASCONNA));
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (std::size_t i = 0; i < fake.active.size(); ++i) {
        list[i].hrasconn = fake.active[i].first;
        std::strcpy(list[i].szEntryName, fake.active[i].second.c_str());
    }
    return ERROR_SUCCESS;
}

DWORD WINAPI FakeGetErrorString(UINT error, LPSTR text, DWORD size) {
    if (error != ERROR_NO_ANSWER) {
        return ERROR_INVALID_PARAMETER;
    }
    EXPECT_EQ(size, 256u);
    std::strcpy(text, "The remote computer did not respond.");
    return ERROR_SUCCESS;
}

DWORD WINAPI FakeConnectionNotification(HRASCONN, HANDLE event, DWORD flags) {
    EXPECT_EQ(flags, static_cast<DWORD>(RASCN_Disconnection));
    fake.notifyEvent = event;
    return ERROR_SUCCESS;
}

class Dialup : public ::testing::Test {
protected:
    void SetUp() override {
        fake = FakeRas{};
        table_.getEntryProperties = FakeGetEntryProperties;
        table_.enumEntries = FakeEnumEntries;
        table_.dial = FakeDial;
        table_.hangUp = FakeHangUp;
        table_.getConnectStatus = FakeGetConnectStatus;
        table_.enumConnections = FakeEnumConnections;
        table_.getErrorString = FakeGetErrorString;
        table_.connectionNotification = FakeConnectionNotification;
        win32::SetRasApiForTesting(&table_);
    }
    void TearDown() override { win32::SetRasApiForTesting(nullptr); }

    win32::RasApi table_;
};

TEST_F(Dialup, EntryPropertiesAcceptTheOlderRecordAndRoomForAlternateNumbers) {
    dialup::EntryProperties properties;
    ASSERT_EQ(
        dialup::ReadEntryProperties("IP connection for remote debugging of QREx", &properties), 0);
    EXPECT_EQ(properties.deviceName, "Standard Modem on COM5");
    EXPECT_EQ(properties.phoneNumber, "*99***1#");

    fake.entrySizeAccepted = win32::kLegacyEntrySize;
    fake.entryExtraBytes = 300;
    properties = {};
    ASSERT_EQ(
        dialup::ReadEntryProperties("IP connection for remote debugging of QREx", &properties), 0);
    EXPECT_EQ(properties.deviceName, "Standard Modem on COM5");

    EXPECT_EQ(dialup::ReadEntryProperties("no such entry", &properties),
              ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
}

TEST_F(Dialup, EntryListGrowsToTheSizeAskedForAndGivesUpAfterFiveTries) {
    fake.entries = {"IP connection for remote debugging of QRCx",
                    "IP connection for remote debugging of QREx", "other"};
    std::vector<dialup::Entry> entries;
    ASSERT_EQ(dialup::ListEntries(&entries), 0);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].name, "IP connection for remote debugging of QREx");
    EXPECT_EQ(entries[1].phoneBookPath, "C:\\rasphone.pbk");
    EXPECT_EQ(fake.enumEntriesCalls, 2);

    fake.enumEntriesCalls = 0;
    fake.entryCallsToGrow = 1;
    EXPECT_EQ(dialup::ListEntries(&entries), ERROR_BUFFER_TOO_SMALL);
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(fake.enumEntriesCalls, 5);
}

TEST_F(Dialup, DialGivesTheEntryAndNumberAndAFailedDialLeavesNoHandle) {
    dialup::Connection connection = nullptr;
    ASSERT_EQ(dialup::Dial("IP connection for remote debugging of QREx", "*99***1#", &connection),
              0);
    EXPECT_EQ(connection, fake.dialHandle);
    EXPECT_EQ(fake.dialParamsSize, sizeof(void*) == 4 ? 1060u : win32::kDialParamsSize);
    EXPECT_EQ(fake.dialEntry, "IP connection for remote debugging of QREx");
    EXPECT_EQ(fake.dialNumber, "*99***1#");
    EXPECT_TRUE(fake.hungUp.empty());

    // Names longer than the record's fields are cut, never written past them.
    ASSERT_EQ(dialup::Dial(std::string(300, 'E'), std::string(200, '9'), &connection), 0);
    EXPECT_EQ(fake.dialEntry, std::string(RAS_MaxEntryName, 'E'));
    EXPECT_EQ(fake.dialNumber, std::string(RAS_MaxPhoneNumber, '9'));

    fake.dialResult = ERROR_NO_ANSWER;
    EXPECT_EQ(dialup::Dial("IP connection for remote debugging of QREx", "*99***1#", &connection),
              ERROR_NO_ANSWER);
    EXPECT_EQ(connection, nullptr);
    ASSERT_EQ(fake.hungUp.size(), 1u);
    EXPECT_EQ(fake.hungUp[0], fake.dialHandle);

    std::string text;
    int lookup = -1;
    EXPECT_TRUE(dialup::ErrorText(ERROR_NO_ANSWER, &text, &lookup));
    EXPECT_EQ(text, "The remote computer did not respond.");
    EXPECT_EQ(lookup, 0);
    EXPECT_FALSE(dialup::ErrorText(12345, &text, &lookup));
    EXPECT_EQ(lookup, ERROR_INVALID_PARAMETER);
}

TEST_F(Dialup, ActiveConnectionsAreAllListedWithTheirStatus) {
    std::vector<dialup::ActiveConnection> connections;
    ASSERT_EQ(dialup::ListActiveConnections(&connections), 0);
    EXPECT_TRUE(connections.empty());

    HRASCONN first = reinterpret_cast<HRASCONN>(0x10);
    HRASCONN second = reinterpret_cast<HRASCONN>(0x20);
    fake.active = {{first, "Office"}, {second, "IP connection for remote debugging of QREx"}};
    ASSERT_EQ(dialup::ListActiveConnections(&connections), 0);
    ASSERT_EQ(connections.size(), 2u);
    EXPECT_EQ(connections[1].entryName, "IP connection for remote debugging of QREx");
    EXPECT_EQ(connections[1].connection, second);

    dialup::ConnectionStatus status;
    ASSERT_EQ(dialup::GetStatus(second, &status), 0);
    EXPECT_EQ(status.state, dialup::kStateConnected);
    EXPECT_EQ(status.error, 0);
    fake.active.clear();
    EXPECT_EQ(dialup::GetStatus(second, &status), dialup::kErrorInvalidHandle);
}

TEST_F(Dialup, ADropIsSeenOnceSignalledAndRemembered) {
    int error = -1;
    std::unique_ptr<dialup::DropWatch> watch =
        dialup::WatchForDrop(reinterpret_cast<dialup::Connection>(0x20), &error);
    ASSERT_NE(watch, nullptr);
    EXPECT_EQ(error, 0);
    EXPECT_FALSE(watch->Dropped(0));
    ASSERT_NE(fake.notifyEvent, nullptr);
    SetEvent(fake.notifyEvent);
    EXPECT_TRUE(watch->Dropped(1000));
    EXPECT_TRUE(watch->Dropped(0));
}

} // namespace
