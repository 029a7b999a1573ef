#include "platform/serial_port.h"

#include <windows.h>

#include <cctype>
#include <charconv>
#include <optional>

#include "platform/win_text.h"

namespace r7k {
namespace {

// "COM4", "Com4", "com12" or "\\.\COM12" as the device path "\\.\COM%d"; empty when the name
// is none of these.
std::string ComDevicePath(std::string_view name) {
  if (name.starts_with("\\\\.\\")) name.remove_prefix(4);
  if (name.size() < 4 || std::tolower(static_cast<unsigned char>(name[0])) != 'c' ||
      std::tolower(static_cast<unsigned char>(name[1])) != 'o' ||
      std::tolower(static_cast<unsigned char>(name[2])) != 'm')
    return {};
  unsigned number = 0;
  const auto [end, ec] = std::from_chars(name.data() + 3, name.data() + name.size(), number);
  if (ec != std::errc() || end != name.data() + name.size() || number < 1 || number > 255)
    return {};
  return "\\\\.\\COM" + std::to_string(number);
}

class Event {
 public:
  Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Event() {
    if (handle_) CloseHandle(handle_);
  }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// A COM port with overlapped reads, writes and event waits, each with its own event, so the
// link thread and the port watcher never share one.
class WinSerialPort : public SerialPort {
 public:
  ~WinSerialPort() override { Close(); }

  bool Open(std::string_view name, std::string* error) override {
    Close();
    const std::string path = ComDevicePath(name);
    if (path.empty()) {
      if (error)
        *error = "Cannot open port " + std::string(name) + ": not a COM port name (e.g. COM4)";
      return false;
    }
    handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
      if (error)
        *error = "Cannot open port " + std::string(name) + ": " + SystemErrorText(GetLastError());
      return false;
    }
    SetupComm(handle_, 4096, 4096);
    // Reads return at once with what has arrived; a write may take 5 s in all.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutConstant = kWriteLimitMs;
    SetCommTimeouts(handle_, &timeouts);
    SetCommMask(handle_, EV_RXCHAR | EV_ERR);
    ResetEvent(abort_.get());
    poll_events_ = false;
    name_ = name;
    return true;
  }

  bool Configure(uint32_t baud, std::string* error) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!IsOpen() || !GetCommState(handle_, &dcb)) {
      if (error) *error = "Cannot configure port " + name_ + ": " + SystemErrorText(GetLastError());
      return false;
    }
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    dcb.XonLim = 100;
    dcb.XoffLim = 100;
    if (!SetCommState(handle_, &dcb)) {
      if (error)
        *error = "Cannot set port " + name_ + " to " + std::to_string(baud) +
                 " baud: " + SystemErrorText(GetLastError());
      return false;
    }
    baud_ = baud;
    return true;
  }

  // Converters without modem lines refuse these; that is not a failure.
  bool SetDtr(bool on) override {
    if (IsOpen()) EscapeCommFunction(handle_, on ? SETDTR : CLRDTR);
    return true;
  }
  bool SetRts(bool on) override {
    if (IsOpen()) EscapeCommFunction(handle_, on ? SETRTS : CLRRTS);
    return true;
  }

  bool Write(std::span<const uint8_t> bytes) override {
    if (!IsOpen()) return false;
    OVERLAPPED ov{};
    ov.hEvent = write_event_.get();
    ResetEvent(ov.hEvent);
    DWORD done = 0;
    if (!WriteFile(handle_, bytes.data(), DWORD(bytes.size()), &done, &ov)) {
      if (GetLastError() != ERROR_IO_PENDING) return false;
      if (WaitForSingleObject(ov.hEvent, kWriteLimitMs) != WAIT_OBJECT_0) {
        CancelIoEx(handle_, &ov);
        GetOverlappedResult(handle_, &ov, &done, TRUE);
        return false;
      }
      if (!GetOverlappedResult(handle_, &ov, &done, FALSE)) return false;
    }
    return done == bytes.size();
  }
  using SerialPort::Write;

  size_t ReadAvailable(std::span<uint8_t> buffer) override {
    if (!IsOpen() || buffer.empty()) return 0;
    DWORD errors = 0;
    COMSTAT status{};
    ClearCommError(handle_, &errors, &status);
    const DWORD want = std::min<DWORD>(status.cbInQue, DWORD(buffer.size()));
    if (want == 0) return 0;
    OVERLAPPED ov{};
    ov.hEvent = read_event_.get();
    ResetEvent(ov.hEvent);
    DWORD got = 0;
    if (!ReadFile(handle_, buffer.data(), want, &got, &ov)) {
      if (GetLastError() != ERROR_IO_PENDING) return 0;
      if (WaitForSingleObject(ov.hEvent, 1000) != WAIT_OBJECT_0) {
        CancelIoEx(handle_, &ov);
        GetOverlappedResult(handle_, &ov, &got, TRUE);
        return got;
      }
      if (!GetOverlappedResult(handle_, &ov, &got, FALSE)) return 0;
    }
    return got;
  }

  SerialEvent WaitEvent(int timeout_ms) override {
    if (!IsOpen()) return SerialEvent::kHangup;
    if (WaitForSingleObject(abort_.get(), 0) == WAIT_OBJECT_0) return SerialEvent::kAborted;
    if (auto state = LineState()) return *state;
    if (poll_events_) return PollEvent(timeout_ms);
    OVERLAPPED ov{};
    ov.hEvent = wait_event_.get();
    ResetEvent(ov.hEvent);
    DWORD mask = 0;
    if (!WaitCommEvent(handle_, &mask, &ov)) {
      if (GetLastError() != ERROR_IO_PENDING) return SerialEvent::kHangup;
      const HANDLE handles[2] = {ov.hEvent, abort_.get()};
      const DWORD r =
          WaitForMultipleObjects(2, handles, FALSE, timeout_ms < 0 ? INFINITE : DWORD(timeout_ms));
      if (r != WAIT_OBJECT_0) {
        // Ends the pending wait (as closing the port does), then collects it.
        CancelIoEx(handle_, &ov);
        DWORD ignored = 0;
        GetOverlappedResult(handle_, &ov, &ignored, TRUE);
        return r == WAIT_OBJECT_0 + 1 ? SerialEvent::kAborted : SerialEvent::kTimeout;
      }
      DWORD ignored = 0;
      if (!GetOverlappedResult(handle_, &ov, &ignored, FALSE)) {
        if (GetLastError() != ERROR_OPERATION_ABORTED) return SerialEvent::kHangup;
        if (WaitForSingleObject(abort_.get(), 0) == WAIT_OBJECT_0) return SerialEvent::kAborted;
        // Cancelled by the driver itself: it cannot wait for events on this line (Wine's
        // serial driver on a pseudo-terminal, some converters). Watch the queue instead.
        poll_events_ = true;
        return PollEvent(timeout_ms);
      }
    }
    if (mask & EV_ERR) {
      DWORD errors = 0;
      COMSTAT status{};
      ClearCommError(handle_, &errors, &status);
      return SerialEvent::kLineError;
    }
    return mask & EV_RXCHAR ? SerialEvent::kReadable : SerialEvent::kTimeout;
  }

  void AbortWait() override { SetEvent(abort_.get()); }

  void Purge() override {
    if (IsOpen()) PurgeComm(handle_, PURGE_RXABORT | PURGE_TXABORT | PURGE_RXCLEAR | PURGE_TXCLEAR);
  }

  void Close() override {
    if (!IsOpen()) return;
    SetCommMask(handle_, 0);
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

  bool IsOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
  uint32_t Baud() const override { return baud_; }

 private:
  // Line errors and characters already waiting (which raise no event of their own); nothing
  // when neither. A port that has gone reports the line hung up.
  std::optional<SerialEvent> LineState() {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handle_, &errors, &status)) return SerialEvent::kHangup;
    if (errors & (CE_FRAME | CE_OVERRUN | CE_RXPARITY | CE_RXOVER)) return SerialEvent::kLineError;
    if (status.cbInQue > 0) return SerialEvent::kReadable;
    return std::nullopt;
  }

  // Waits by looking at the line every 2 ms.
  SerialEvent PollEvent(int timeout_ms) {
    const ULONGLONG end = timeout_ms < 0 ? ~0ULL : GetTickCount64() + ULONGLONG(timeout_ms);
    for (;;) {
      if (WaitForSingleObject(abort_.get(), 2) == WAIT_OBJECT_0) return SerialEvent::kAborted;
      if (auto state = LineState()) return *state;
      if (GetTickCount64() >= end) return SerialEvent::kTimeout;
    }
  }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::string name_;
  uint32_t baud_ = 0;
  bool poll_events_ = false;  // the driver cannot wait for events (port watcher only)
  Event read_event_;
  Event write_event_;
  Event wait_event_;
  Event abort_;
};

}  // namespace

std::unique_ptr<SerialPort> MakeSystemSerialPort() { return std::make_unique<WinSerialPort>(); }

}  // namespace r7k
