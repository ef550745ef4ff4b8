// Failures of the serial layer are negative 32-bit codes; at the port's boundary
// RaiseForCode turns a code into an exception whose class names the failure.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>

namespace serial {

class TSioBaseComponent;

// Codes the layer itself returns.
constexpr int32_t ecOK = 0;
constexpr int32_t ecFileNotFound = -2;
constexpr int32_t ecPathNotFound = -3;
constexpr int32_t ecAccessDenied = -5;
constexpr int32_t ecOutOfMemory = -8;
constexpr int32_t ecDiskFull = -101;
constexpr int32_t ecDeviceWrite = -160;  // write thread result
constexpr int32_t ecDeviceRead = -161;   // read and status thread result
constexpr int32_t ecBadArgument = -1002;
constexpr int32_t ecBadId = -2001;
constexpr int32_t ecCommNotOpen = -2007;
constexpr int32_t ecAlreadyOpen = -2008;
constexpr int32_t ecNoPortSelected = -2011;
constexpr int32_t ecNotOpenedByTapi = -2012;
constexpr int32_t ecNullApi = -3001;
constexpr int32_t ecPutBlockFail = -3004;
constexpr int32_t ecOutputBufferTooSmall = -3006;
constexpr int32_t ecBufferIsEmpty = -3007;
constexpr int32_t ecBaseAddressNotSet = -3010;
constexpr int32_t ecNoMoreTriggers = -5001;
constexpr int32_t ecTriggerTooLong = -5002;
constexpr int32_t ecBadTriggerHandle = -5003;
constexpr int32_t ecTapiNoMem = -13868;  // a thread could not get a buffer

class ESioException : public std::runtime_error {
 public:
  // Code := code; message := the text of |code|.
  explicit ESioException(int32_t code);
  // Code 0 and the given message.
  explicit ESioException(const std::string& message);
  int32_t Code;
};

// The file-level errors 2..162: the error number and its text.
class EInOutError : public std::runtime_error {
 public:
  EInOutError(const std::string& message, int error_code)
      : std::runtime_error(message), ErrorCode(error_code) {}
  int ErrorCode;
};

class EOutOfMemory : public std::runtime_error {
 public:
  EOutOfMemory();
};

#define SIO_EXCEPTION_CLASS(Name, Base) \
  class Name : public Base {            \
   public:                              \
    using Base::Base;                   \
  };

SIO_EXCEPTION_CLASS(EGeneral, ESioException)
SIO_EXCEPTION_CLASS(EOpenComm, ESioException)
SIO_EXCEPTION_CLASS(ESerialIO, ESioException)
SIO_EXCEPTION_CLASS(EModem, ESioException)
SIO_EXCEPTION_CLASS(ETrigger, ESioException)
SIO_EXCEPTION_CLASS(EProtocol, ESioException)
SIO_EXCEPTION_CLASS(EINI, ESioException)
SIO_EXCEPTION_CLASS(EFax, ESioException)
SIO_EXCEPTION_CLASS(ETapi, ESioException)
SIO_EXCEPTION_CLASS(ERas, ESioException)

#define SIO_GENERAL_LEAVES(X)                                                                  \
  X(EBadArgument, -1002)                                                                       \
  X(EGotQuitMsg, -1003) X(EBufferTooBig, -1004) X(EPortNotAssigned, -1005) X(EInternal, -1006) \
      X(EModemNotAssigned, -1007) X(EPhonebookNotAssigned, -1008) X(ECannotUseWithWinSock, -1009)

#define SIO_OPENCOMM_LEAVES(X)                                                                     \
  X(EBadId, -2001)                                                                                 \
  X(EBaudRate, -2002) X(EByteSize, -2003) X(EDefault, -2004) X(EHardware, -2005) X(EMemory, -2006) \
      X(ECommNotOpen, -2007) X(EAlreadyOpen, -2008) X(ENoHandles, -2009) X(ENoTimers, -2010)       \
          X(ENoPortSelected, -2011) X(ENotOpenedByTapi, -2012)

#define SIO_SERIALIO_LEAVES(X)                                                              \
  X(ENullApi, -3001)                                                                        \
  X(ERegisterHandlerFailed, -3003) X(EPutBlockFail, -3004) X(EGetBlockFail, -3005)          \
      X(EOutputBufferTooSmall, -3006) X(EBufferIsEmpty, -3007) X(ETracingNotEnabled, -3008) \
          X(ELoggingNotEnabled, -3009) X(EBaseAddressNotSet, -3010)

#define SIO_MODEM_LEAVES(X)                                                                       \
  X(EModemNotStarted, -4001)                                                                      \
  X(EModemBusy, -4002) X(EModemNotDialing, -4003) X(ENotDialing, -4004) X(EAlreadyDialing, -4005) \
      X(EModemNotResponding, -4006) X(EModemRejectedCommand, -4007) X(EModemStatusMismatch, -4008)

#define SIO_TRIGGER_LEAVES(X) \
  X(ENoMoreTriggers, -5001) X(ETriggerTooLong, -5002) X(EBadTriggerHandle, -5003)

#define SIO_INI_LEAVES(X)                                                                \
  X(EKeyTooLong, -7001)                                                                  \
  X(EDataTooLarge, -7002) X(EIniWrite, -7004) X(EIniRead, -7005) X(ERecordExists, -7007) \
      X(ERecordNotFound, -7008) X(EDatabaseFull, -7010) X(EDatabaseEmpty, -7011)         \
          X(EBadFieldList, -7013) X(EBadFieldForIndex, -7014)

#define SIO_FAX_LEAVES(X)                                                                     \
  X(EFaxBadFormat, -8001)                                                                     \
  X(EBadGraphicsFormat, -8002) X(EConvertAbort, -8003) X(EUnpackAbort, -8004)                 \
      X(ECantMakeBitmap, -8005) X(EInvalidPageNumber, -8053) X(EFaxBadMachine, -8060)         \
          X(EFaxBadModemResult, -8061) X(EFaxTrainError, -8062) X(EFaxInitError, -8063)       \
              X(EFaxBusy, -8064) X(EFaxVoiceCall, -8065) X(EFaxDataCall, -8066)               \
                  X(EFaxNoDialTone, -8067) X(EFaxNoCarrier, -8068) X(EFaxSessionError, -8069) \
                      X(EFaxPageError, -8070)

#define SIO_RAS_LEAVES(X) X(ERasLoadFail, -13980)

#define SIO_TAPI_LEAVES(X)                                                                                        \
  X(ETapiAllocated, -13801)                                                                                       \
  X(ETapiBadDeviceID, -13802) X(ETapiBearerModeUnavail, -13803) X(ETapiCallUnavail, -13805) X(                    \
      ETapiCompletionOverrun, -13806) X(ETapiConferenceFull, -13807) X(ETapiDialBilling, -13808)                  \
      X(ETapiDialDialtone, -13809) X(ETapiDialPrompt, -13810) X(ETapiDialQuiet, -13811) X(                        \
          ETapiIncompatibleApiVersion, -13812) X(ETapiIncompatibleExtVersion,                                     \
                                                 -13813) X(ETapiIniFileCorrupt, -13814)                           \
          X(ETapiInUse, -13815) X(ETapiInvalAddress, -13816) X(ETapiInvalAddressID, -13817) X(                    \
              ETapiInvalAddressMode, -13818) X(ETapiInvalAddressState,                                            \
                                               -13819) X(ETapiInvalAppHandle,                                     \
                                                         -13820) X(ETapiInvalAppName,                             \
                                                                   -13821) X(ETapiInvalBearerMode,                \
                                                                             -13822)                              \
              X(ETapiInvalCallComplMode, -13823) X(ETapiInvalCallHandle, -13824) X(                               \
                  ETapiInvalCallParams,                                                                           \
                  -13825) X(ETapiInvalCallPrivilege, -13826) X(ETapiInvalCallSelect, -13827)                      \
                  X(ETapiInvalCallState, -13828) X(                                                               \
                      ETapiInvalCallStatelist, -13829) X(ETapiInvalCard,                                          \
                                                         -13830) X(ETapiInvalCompletionID,                        \
                                                                   -13831) X(ETapiInvalConfCallHandle,            \
                                                                             -13832)                              \
                      X(ETapiInvalConsultCallHandle, -13833) X(ETapiInvalCountryCode, -13834) X(                  \
                          ETapiInvalDeviceClass, -13835) X(ETapiInvalDeviceHandle,                                \
                                                           -13836) X(ETapiInvalDialParams,                        \
                                                                     -13837) X(ETapiInvalDigitList, -13838)       \
                          X(ETapiInvalDigitMode, -13839) X(ETapiInvalDigits, -13840) X(                           \
                              ETapiInvalExtVersion,                                                               \
                              -13841) X(ETapiInvalGroupID, -13842) X(ETapiInvalLineHandle, -13843)                \
                              X(ETapiInvalLineState, -13844) X(ETapiInvalLocation, -13845) X(                     \
                                  ETapiInvalMediaList, -13846) X(ETapiInvalMediaMode,                             \
                                                                 -13847) X(ETapiInvalMessageID, -13848)           \
                                  X(ETapiInvalParam, -13850) X(ETapiInvalParkID, -13851) X(                       \
                                      ETapiInvalParkMode,                                                         \
                                      -13852) X(ETapiInvalPointer, -13853) X(ETapiInvalPrivSelect, -13854)        \
                                      X(ETapiInvalRate, -13855) X(                                                \
                                          ETapiInvalRequestMode, -13856) X(ETapiInvalTerminalID,                  \
                                                                           -13857) X(ETapiInvalTerminalMode,      \
                                                                                     -13858) X(ETapiInvalTimeout, \
                                                                                               -13859)            \
                                          X(ETapiInvalTone, -13860) X(ETapiInvalToneList, -13861) X(              \
                                              ETapiInvalToneMode,                                                 \
                                              -13862) X(ETapiInvalTransferMode, -13863)                           \
                                              X(ETapiLineMapperFailed, -13864) X(                                 \
                                                  ETapiNoConference,                                              \
                                                  -13865) X(ETapiNoDevice, -13866) X(ETapiNoDriver, -13867)       \
                                                  X(ETapiNoMem, -13868) X(ETapiNoRequest, -13869) X(              \
                                                      ETapiNotOwner, -13870) X(ETapiNotRegistered,                \
                                                                               -13871) X(ETapiOperationFailed,    \
                                                                                         -13872)                  \
                                                      X(ETapiOperationUnavail, -13873) X(                         \
                                                          ETapiRateUnavail,                                       \
                                                          -13874) X(ETapiResourceUnavail, -13875)                 \
                                                          X(ETapiRequestOverrun, -13876) X(                       \
                                                              ETapiStructureTooSmall,                             \
                                                              -13877) X(ETapiTargetNotFound, -13878)              \
                                                              X(ETapiTargetSelf, -13879) X(                       \
                                                                  ETapiUninitialized,                             \
                                                                  -13880) X(ETapiUserUserInfoTooBig, -13881)      \
                                                                  X(ETapiReinit, -13882) X(                       \
                                                                      ETapiAddressBlocked,                        \
                                                                      -13883) X(ETapiBillingRejected, -13884)     \
                                                                      X(ETapiInvalFeature, -13885) X(             \
                                                                          ETapiNoMultipleInstance,                \
                                                                          -13886) X(ETapiBusy, -13928)            \
                                                                          X(ETapiNotSet, -13929) X(               \
                                                                              ETapiNoSelect,                      \
                                                                              -13930)                             \
                                                                              X(ETapiLoadFail, -13931) X(         \
                                                                                  ETapiGetAddrFail,               \
                                                                                  -13932)                         \
                                                                                  X(ETapiVoiceNotSupported,       \
                                                                                    -13935)                       \
                                                                                      X(ETapiWaveFail,            \
                                                                                        -13936)                   \
                                                                                          X(ETapiTranslateFail,   \
                                                                                            -13942)

#define SIO_DECLARE_GENERAL(Name, Code) SIO_EXCEPTION_CLASS(Name, EGeneral)
#define SIO_DECLARE_OPENCOMM(Name, Code) SIO_EXCEPTION_CLASS(Name, EOpenComm)
#define SIO_DECLARE_SERIALIO(Name, Code) SIO_EXCEPTION_CLASS(Name, ESerialIO)
#define SIO_DECLARE_MODEM(Name, Code) SIO_EXCEPTION_CLASS(Name, EModem)
#define SIO_DECLARE_TRIGGER(Name, Code) SIO_EXCEPTION_CLASS(Name, ETrigger)
#define SIO_DECLARE_INI(Name, Code) SIO_EXCEPTION_CLASS(Name, EINI)
#define SIO_DECLARE_FAX(Name, Code) SIO_EXCEPTION_CLASS(Name, EFax)
#define SIO_DECLARE_RAS(Name, Code) SIO_EXCEPTION_CLASS(Name, ERas)
#define SIO_DECLARE_TAPI(Name, Code) SIO_EXCEPTION_CLASS(Name, ETapi)

SIO_GENERAL_LEAVES(SIO_DECLARE_GENERAL)
SIO_OPENCOMM_LEAVES(SIO_DECLARE_OPENCOMM)
SIO_SERIALIO_LEAVES(SIO_DECLARE_SERIALIO)
SIO_MODEM_LEAVES(SIO_DECLARE_MODEM)
SIO_TRIGGER_LEAVES(SIO_DECLARE_TRIGGER)
SIO_INI_LEAVES(SIO_DECLARE_INI)
SIO_FAX_LEAVES(SIO_DECLARE_FAX)
SIO_RAS_LEAVES(SIO_DECLARE_RAS)
SIO_TAPI_LEAVES(SIO_DECLARE_TAPI)

// Returns code when it is 0 or positive, or while the owner is being loaded;
// otherwise raises the exception for the code and does not return.
int32_t RaiseForCode(const TSioBaseComponent* owner, int32_t code);

// Whether RaiseForCode has a class of its own for the code (166 codes).
bool IsMappedCode(int32_t code);

// The application's display of an exception that no caller can catch (the end
// of a port thread). The default writes the message to standard error; the
// desktop installs a message box. Called on the UI thread.
using TExceptionDisplay = std::function<void(std::exception_ptr)>;
void SetExceptionDisplay(TExceptionDisplay display);
void ShowException(std::exception_ptr error);

}  // namespace serial
