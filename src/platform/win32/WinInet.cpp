// The HTTP client over WinINet.
#include "platform/win32/Win32Platform.h"

#include <wininet.h>

#include <cstdlib>

namespace cvi::win32 {
namespace {

HINTERNET AsHinternet(Internet::Handle handle) {
  return reinterpret_cast<HINTERNET>(handle);
}

Internet::Handle AsHandle(HINTERNET handle) {
  return reinterpret_cast<Internet::Handle>(handle);
}

void SetTimeoutOptions(HINTERNET handle, DWORD milliseconds) {
  const DWORD options[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                           INTERNET_OPTION_RECEIVE_TIMEOUT};
  for (DWORD option : options) {
    InternetSetOptionA(handle, option, &milliseconds, sizeof milliseconds);
  }
}

}  // namespace

Internet::Handle Win32Internet::Open(const std::string& agent,
                                     std::uint32_t accessType,
                                     std::uint32_t flags) {
  return AsHandle(InternetOpenA(agent.c_str(), accessType, nullptr, nullptr, flags));
}

void Win32Internet::SetTimeouts(Handle session, std::uint32_t milliseconds) {
  timeoutMs_ = timeoutOverrideMs_ != 0 ? timeoutOverrideMs_ : milliseconds;
  SetTimeoutOptions(AsHinternet(session), timeoutMs_);
}

Internet::Handle Win32Internet::OpenUrl(Handle session,
                                        const std::string& url,
                                        std::uint32_t flags) {
  HINTERNET request = InternetOpenUrlA(AsHinternet(session), url.c_str(), nullptr, 0, flags, 0);
  if (request == nullptr)
    return 0;
  // Wine's WinINet does not pass a session's receive time-out on to its requests.
  if (timeoutMs_ != 0)
    SetTimeoutOptions(request, timeoutMs_);
  Reply reply;
  reply.url = url;
  char length[32] = {};
  DWORD size = sizeof length - 1;
  DWORD index = 0;
  if (HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, length, &size, &index)) {
    char* end = nullptr;
    reply.announced = std::strtoull(length, &end, 10);
    reply.lengthKnown = end != length;
  }
  replies_[AsHandle(request)] = reply;
  return AsHandle(request);
}

int Win32Internet::StatusCode(Handle request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  DWORD index = 0;
  if (!HttpQueryInfoA(AsHinternet(request), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                      &status, &size, &index)) {
    return 0;
  }
  return static_cast<int>(status);
}

std::string Win32Internet::RedirectTarget(Handle request) {
  switch (StatusCode(request)) {
    case HTTP_STATUS_MOVED:
    case HTTP_STATUS_REDIRECT:
    case HTTP_STATUS_REDIRECT_METHOD:
    case HTTP_STATUS_REDIRECT_KEEP_VERB:
    case HTTP_STATUS_PERMANENT_REDIRECT:
      break;
    default:
      return "";
  }
  auto it = replies_.find(request);
  if (it == replies_.end())
    return "";
  char location[INTERNET_MAX_URL_LENGTH] = {};
  DWORD size = sizeof location - 1;
  DWORD index = 0;
  if (!HttpQueryInfoA(AsHinternet(request), HTTP_QUERY_LOCATION, location, &size, &index))
    return "";
  // The location may be relative to the address that answered with it.
  char target[INTERNET_MAX_URL_LENGTH] = {};
  DWORD targetSize = sizeof target;
  if (!InternetCombineUrlA(it->second.url.c_str(), location, target, &targetSize, ICU_NO_ENCODE))
    return "";
  return std::string(target, targetSize);
}

bool Win32Internet::Available(Handle request, std::uint32_t* bytes) {
  *bytes = 0;
  DWORD available = 0;
  if (!InternetQueryDataAvailable(AsHinternet(request), &available, 0, 0))
    return false;
  *bytes = available;
  return true;
}

bool Win32Internet::Read(Handle request, char* buffer, std::uint32_t toRead, std::uint32_t* read) {
  *read = 0;
  DWORD got = 0;
  if (!InternetReadFile(AsHinternet(request), buffer, toRead, &got))
    return false;
  auto it = replies_.find(request);
  if (it != replies_.end()) {
    Reply& reply = it->second;
    reply.received += got;
    // A connection reset before the announced length reads like the end of the body.
    if (got == 0 && reply.lengthKnown && reply.received < reply.announced) {
      SetLastError(ERROR_INTERNET_CONNECTION_RESET);
      return false;
    }
  }
  *read = got;
  return true;
}

void Win32Internet::Close(Handle handle) {
  replies_.erase(handle);
  InternetCloseHandle(AsHinternet(handle));
}

}  // namespace cvi::win32
