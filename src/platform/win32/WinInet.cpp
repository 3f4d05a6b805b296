// The HTTP client over WinINet.
#include "platform/win32/Win32Platform.h"

#include <wininet.h>

#include <cstdlib>

namespace cvi::win32 {
namespace {

// What a handle of this client stands for: the WinINet handle and, for a request, where its reply
// came from, what it announced and what has been read of it. Each one belongs to its request alone,
// so that two transfers never share anything here.
struct Object {
  HINTERNET handle = nullptr;
  DWORD timeoutMs = 0;
  std::string url;
  bool lengthKnown = false;
  unsigned long long announced = 0;
  unsigned long long received = 0;
};

Object* AsObject(Internet::Handle handle) {
  return reinterpret_cast<Object*>(handle);
}

HINTERNET AsHinternet(Internet::Handle handle) {
  return handle != 0 ? AsObject(handle)->handle : nullptr;
}

Internet::Handle Wrap(HINTERNET handle, Object object = Object()) {
  if (handle == nullptr)
    return 0;
  object.handle = handle;
  return reinterpret_cast<Internet::Handle>(new Object(std::move(object)));
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
  return Wrap(InternetOpenA(agent.c_str(), accessType, nullptr, nullptr, flags));
}

void Win32Internet::SetTimeouts(Handle session, std::uint32_t milliseconds) {
  if (session == 0)
    return;
  AsObject(session)->timeoutMs = milliseconds;
  SetTimeoutOptions(AsHinternet(session), milliseconds);
}

Internet::Handle Win32Internet::OpenUrl(Handle session,
                                        const std::string& url,
                                        std::uint32_t flags) {
  HINTERNET request = InternetOpenUrlA(AsHinternet(session), url.c_str(), nullptr, 0, flags, 0);
  if (request == nullptr)
    return 0;
  Object reply;
  // Wine's WinINet does not pass a session's time-outs on to its requests.
  reply.timeoutMs = session != 0 ? AsObject(session)->timeoutMs : 0;
  if (reply.timeoutMs != 0)
    SetTimeoutOptions(request, reply.timeoutMs);
  reply.url = url;
  char length[32] = {};
  DWORD size = sizeof length - 1;
  DWORD index = 0;
  if (HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, length, &size, &index)) {
    char* end = nullptr;
    reply.announced = std::strtoull(length, &end, 10);
    reply.lengthKnown = end != length;
  }
  return Wrap(request, std::move(reply));
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
  char location[INTERNET_MAX_URL_LENGTH] = {};
  DWORD size = sizeof location - 1;
  DWORD index = 0;
  if (!HttpQueryInfoA(AsHinternet(request), HTTP_QUERY_LOCATION, location, &size, &index))
    return "";
  // The location may be relative to the address that answered with it.
  char target[INTERNET_MAX_URL_LENGTH] = {};
  DWORD targetSize = sizeof target;
  if (!InternetCombineUrlA(AsObject(request)->url.c_str(), location, target, &targetSize,
                           ICU_NO_ENCODE))
    return "";
  return std::string(target, targetSize);
}

std::int64_t Win32Internet::AnnouncedLength(Handle request) {
  const Object* reply = AsObject(request);
  if (reply == nullptr || !reply->lengthKnown || reply->announced > 0x7fffffffffffffffull)
    return -1;
  return static_cast<std::int64_t>(reply->announced);
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
  Object& reply = *AsObject(request);
  reply.received += got;
  // A connection reset before the announced length reads like the end of the body.
  if (got == 0 && reply.lengthKnown && reply.received < reply.announced) {
    SetLastError(ERROR_INTERNET_CONNECTION_RESET);
    return false;
  }
  *read = got;
  return true;
}

void Win32Internet::Close(Handle handle) {
  if (handle == 0)
    return;
  Object* object = AsObject(handle);
  InternetCloseHandle(object->handle);
  delete object;
}

}  // namespace cvi::win32
