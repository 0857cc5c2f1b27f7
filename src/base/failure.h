// One failure type for every port operation, and the catalogue of the
// failures the program raises itself, so the same fault always reads the same.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace postique {

class Failure : public std::exception {
 public:
  Failure(long number, std::string description)
      : number_(number), description_(std::move(description)) {}
  long number() const { return number_; }
  const std::string& description() const { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  long number_;
  std::string description_;
};

// Numbers of the failures the program raises itself. The 32000 range is the
// mail client's: 32000 plus the Simple MAPI return code.
enum class Err : long {
  kInvalidArgument = 5,
  kTypeMismatch = 13,
  kBadFileNameOrNumber = 52,
  kFileNotFound = 53,
  kDiskFull = 61,
  kInputPastEndOfFile = 62,
  kPermissionDenied = 70,
  kPathFileAccess = 75,
  kPathNotFound = 76,
  kNoSuchControl = 340,
  kMapiUserAbort = 32001,
  kMapiFailure = 32002,
  kMapiLoginFailure = 32003,
  kMapiDiskFull = 32004,
  kMapiInsufficientMemory = 32005,
  kMapiAccessDenied = 32006,
  kMapiTooManySessions = 32008,
  kMapiTooManyFiles = 32009,
  kMapiTooManyRecipients = 32010,
  kMapiAttachmentNotFound = 32011,
  kMapiAttachmentOpenFailure = 32012,
  kMapiAttachmentWriteFailure = 32013,
  kMapiUnknownRecipient = 32014,
  kMapiBadRecipType = 32015,
  kMapiNoMessages = 32016,
  kMapiInvalidMessage = 32017,
  kMapiTextTooLarge = 32018,
  kMapiInvalidSession = 32019,
  kMapiTypeNotSupported = 32020,
  kMapiAmbiguousRecipient = 32021,
  kMapiMessageInUse = 32022,
  kMapiNetworkFailure = 32023,
  kMapiInvalidEditFields = 32024,
  kMapiInvalidRecips = 32025,
  kMapiNotSupported = 32026,
};

// The Spanish description of a catalogued failure.
std::string_view Describe(Err err);

// The Spanish description of the shell's result for a program it could not
// start (32 or less).
std::string_view DescribeShellError(int result);

// A catalogued failure; the detail, when given, follows the description.
Failure MakeFailure(Err err, std::string_view detail = {});
[[noreturn]] void Raise(Err err, std::string_view detail = {});

}  // namespace postique
