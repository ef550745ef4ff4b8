#include "serial/sio_errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <typeinfo>

#include "platform/win_errors.h"
#include "serial/sio_messages.h"
#include "serial/sio_misc.h"

namespace serial {
namespace {

using ClassCheck = bool (*)(const std::exception&);

template <class Leaf, class Group>
bool Is(const std::exception& e) {
  return typeid(e) == typeid(Leaf) && dynamic_cast<const Group*>(&e) != nullptr &&
         dynamic_cast<const ESioException*>(&e) != nullptr;
}

struct MappedCase {
  int32_t code;
  ClassCheck is;
  const char* class_name;
  const char* text;  // nullptr: any non-empty text
};

class RaiseForCodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetSystemMessageSource([](uint32_t e) {
      return e == 31 ? std::string("A device attached to the system\r\nis not functioning.\r\n")
                     : std::string();
    });
  }
  void TearDown() override { SetSystemMessageSource(nullptr); }
};

TEST_F(RaiseForCodeTest, MappedCodesRaiseTheirClassWithCodeAndText) {
  const MappedCase cases[] = {
      {-1002, Is<EBadArgument, EGeneral>, "EBadArgument", "Bad argument passed to function"},
      {-7003, Is<EInternal, EGeneral>, "EInternal", nullptr},
      {-7012, Is<EInternal, EGeneral>, "EInternal", nullptr},
      {-1009, Is<ECannotUseWithWinSock, EGeneral>, "ECannotUseWithWinSock", nullptr},
      {-2001, Is<EBadId, EOpenComm>, "EBadId", "ie_BadId - Specified comport doesn't exist"},
      {-2007, Is<ECommNotOpen, EOpenComm>, "ECommNotOpen", "ie_NOpen - device not open"},
      {-2008, Is<EAlreadyOpen, EOpenComm>, "EAlreadyOpen", "ie_Open - device already open"},
      {-2011, Is<ENoPortSelected, EOpenComm>, "ENoPortSelected",
       "The ComNumber property of the TSioComPort has not been set"},
      {-3001, Is<ENullApi, ESerialIO>, "ENullApi", "No device layer specified"},
      {-3004, Is<EPutBlockFail, ESerialIO>, "EPutBlockFail", "Failed to put entire block"},
      {-3006, Is<EOutputBufferTooSmall, ESerialIO>, "EOutputBufferTooSmall",
       "Output buffer too small for block"},
      {-3007, Is<EBufferIsEmpty, ESerialIO>, "EBufferIsEmpty", "Buffer is empty"},
      {-3010, Is<EBaseAddressNotSet, ESerialIO>, "EBaseAddressNotSet", "Base address not set"},
      {-4008, Is<EModemStatusMismatch, EModem>, "EModemStatusMismatch", nullptr},
      {-5003, Is<EBadTriggerHandle, ETrigger>, "EBadTriggerHandle", nullptr},
      {-6008, Is<EProtocol, EProtocol>, "EProtocol", nullptr},
      {-7014, Is<EBadFieldForIndex, EINI>, "EBadFieldForIndex", nullptr},
      {-8070, Is<EFaxPageError, EFax>, "EFaxPageError", nullptr},
      // The ends of each run of telephony codes catch a shifted list.
      {-13801, Is<ETapiAllocated, ETapi>, "ETapiAllocated", nullptr},
      {-13805, Is<ETapiCallUnavail, ETapi>, "ETapiCallUnavail", nullptr},
      {-13806, Is<ETapiCompletionOverrun, ETapi>, "ETapiCompletionOverrun", nullptr},
      {-13848, Is<ETapiInvalMessageID, ETapi>, "ETapiInvalMessageID", nullptr},
      {-13850, Is<ETapiInvalParam, ETapi>, "ETapiInvalParam", nullptr},
      {-13868, Is<ETapiNoMem, ETapi>, "ETapiNoMem", "No memory"},
      {-13886, Is<ETapiNoMultipleInstance, ETapi>, "ETapiNoMultipleInstance", nullptr},
      {-13935, Is<ETapiVoiceNotSupported, ETapi>, "ETapiVoiceNotSupported", nullptr},
      {-13942, Is<ETapiTranslateFail, ETapi>, "ETapiTranslateFail", nullptr},
      {-13980, Is<ERasLoadFail, ERas>, "ERasLoadFail", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.class_name);
    try {
      RaiseForCode(nullptr, c.code);
      ADD_FAILURE() << "no exception";
    } catch (const ESioException& e) {
      EXPECT_TRUE(c.is(e));
      EXPECT_EQ(e.Code, c.code);
      if (c.text) {
        EXPECT_STREQ(e.what(), c.text);
      } else {
        EXPECT_STRNE(e.what(), "");
      }
    }
  }
}

TEST_F(RaiseForCodeTest, EveryMappedCodeHasATextAndTheCountIsComplete) {
  int mapped = 0;
  for (int32_t code = -1; code >= -14000; --code) {
    if (!IsMappedCode(code)) continue;
    ++mapped;
    EXPECT_NE(LookupMessage(code), "") << code;
  }
  EXPECT_EQ(mapped, 166);
}

TEST_F(RaiseForCodeTest, UnmappedAndFileLevelCodes) {
  EXPECT_EQ(RaiseForCode(nullptr, 5), 5);
  EXPECT_EQ(RaiseForCode(nullptr, 0), 0);

  // Unmapped: a plain serial exception with code 0 although the table has a text.
  for (int32_t code : {-1, -1001, -6001, -163, -100000}) {
    SCOPED_TRACE(code);
    try {
      RaiseForCode(nullptr, code);
      ADD_FAILURE();
    } catch (const ESioException& e) {
      EXPECT_EQ(typeid(e), typeid(ESioException));
      EXPECT_EQ(e.Code, 0);
      EXPECT_STREQ(e.what(), "Serial port exception");
    }
  }
  EXPECT_NE(LookupMessage(1001), "");

  EXPECT_THROW(RaiseForCode(nullptr, -8), EOutOfMemory);

  struct IoCase {
    int32_t code;
    const char* text;
  };
  const IoCase io[] = {
      {-2, "File not found"},
      {-3, "Path not found"},
      {-5, "File access denied"},
      {-101, "Disk is full"},
      {-161, "Device read error"},
      {-31, "A device attached to the system is not functioning. "},  // system text, one line
      {-162, "Hardware failure"},
  };
  for (const auto& c : io) {
    SCOPED_TRACE(c.code);
    try {
      RaiseForCode(nullptr, c.code);
      ADD_FAILURE();
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode, -c.code);
      EXPECT_STREQ(e.what(), c.text);
    }
  }
}

TEST_F(RaiseForCodeTest, ALoadingOwnerGetsTheCodeBack) {
  TSioBaseComponent owner;
  owner.SetLoading(true);
  EXPECT_EQ(RaiseForCode(&owner, -2008), -2008);
  owner.SetLoading(false);
  EXPECT_THROW(RaiseForCode(&owner, -2008), EAlreadyOpen);
}

TEST(LookupMessage, FindsEveryRowOfTheTableBySignOrMagnitude) {
  auto table = MessageTable();
  std::set<int64_t> seen;
  int64_t previous = -1;
  for (const auto& row : table) {
    int64_t k = row.Code < 0 ? -int64_t{row.Code} : row.Code;
    EXPECT_GT(k, previous) << "table out of order at " << row.Code;
    previous = k;
    EXPECT_EQ(LookupMessage(row.Code), row.Text);
    EXPECT_EQ(LookupMessage(static_cast<int32_t>(-row.Code)), row.Text);
  }
  EXPECT_EQ(LookupMessage(2001), LookupMessage(-2001));
  EXPECT_EQ(LookupMessage(15020), "User");
}

TEST(LookupMessage, MissesGoToTheSystemTexts) {
  SetSystemMessageSource([](uint32_t e) {
    if (e == 9999) return std::string("\tTabbed  and\n\nbroken   text\r\n");
    if (e == 9998) return std::string(300, 'x');
    return std::string();
  });
  EXPECT_EQ(LookupMessage(-9999), " Tabbed and broken text ");
  EXPECT_EQ(LookupMessage(9998).size(), 255u);
  EXPECT_EQ(LookupMessage(4009), "");  // neither table nor system
  SetSystemMessageSource(nullptr);
  // The default source is strerror of the matching errno.
  EXPECT_EQ(SystemMessageText(platform::kErrorInvalidParameter), std::strerror(EINVAL));
  EXPECT_EQ(SystemMessageText(4009), "");
}

TEST(WinErrors, TranslatesBothWays) {
  struct Case {
    int err;
    uint32_t win;
  };
  const Case to_win[] = {{0, 0},        {ENOENT, 2},   {ENOTDIR, 3}, {EACCES, 5},
                         {EBUSY, 5},    {EPERM, 5},    {EBADF, 6},   {ENOMEM, 8},
                         {EINVAL, 87},  {ENXIO, 2},    {ENODEV, 2},  {ECANCELED, 995},
                         {EAGAIN, 997}, {ENOSPC, 112}, {EIO, 31},    {EDOM, 31}};
  for (const auto& c : to_win) EXPECT_EQ(platform::WinErrorFromErrno(c.err), c.win) << c.err;
  const Case to_errno[] = {{ENOENT, 2}, {EACCES, 5}, {EBADF, 6}, {EINVAL, 87}, {0, 4009}};
  for (const auto& c : to_errno) EXPECT_EQ(platform::ErrnoFromWinError(c.win), c.err) << c.win;
  platform::SetLastErrorFromErrno(EACCES);
  EXPECT_EQ(platform::GetLastError(), platform::kErrorAccessDenied);
  platform::SetLastError(0);
}

}  // namespace
}  // namespace serial
