// The HTTP client over WinINet.
#include "platform/win32/Win32Platform.h"

#include <wininet.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

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

// A bypass entry of the proxy settings against a host name: "*" stands for any run of characters.
bool Matches(const char* pattern, const char* host) {
  if (*pattern == '*')
    return Matches(pattern + 1, host) || (*host != '\0' && Matches(pattern, host + 1));
  if (*pattern == '\0' || *host == '\0')
    return *pattern == *host;
  return std::tolower(static_cast<unsigned char>(*pattern)) ==
             std::tolower(static_cast<unsigned char>(*host)) &&
         Matches(pattern + 1, host + 1);
}

// True when the system's settings send `url` through a proxy server set by hand: a connection that
// cannot be made is then the proxy's. A proxy that a script or the network chooses is not known.
bool GoesThroughSetProxy(const std::string& url) {
  INTERNET_PER_CONN_OPTIONA options[3] = {};
  options[0].dwOption = INTERNET_PER_CONN_FLAGS;
  options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
  options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
  INTERNET_PER_CONN_OPTION_LISTA list = {};
  list.dwSize = sizeof list;
  list.dwOptionCount = 3;
  list.pOptions = options;
  DWORD size = sizeof list;
  if (!InternetQueryOptionA(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size))
    return false;
  const std::string server = options[1].Value.pszValue ? options[1].Value.pszValue : "";
  const std::string bypass = options[2].Value.pszValue ? options[2].Value.pszValue : "";
  GlobalFree(options[1].Value.pszValue);
  GlobalFree(options[2].Value.pszValue);
  char host[INTERNET_MAX_HOST_NAME_LENGTH] = {};
  URL_COMPONENTSA parts = {};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  if (!(options[0].Value.dwValue & PROXY_TYPE_PROXY) || server.empty() ||
      !InternetCrackUrlA(url.c_str(), 0, 0, &parts))
    return false;
  constexpr const char* kSeparators = "; \t";
  for (std::size_t start = bypass.find_first_not_of(kSeparators); start != std::string::npos;
       start = bypass.find_first_not_of(kSeparators, start)) {
    const std::size_t end = std::min(bypass.find_first_of(kSeparators, start), bypass.size());
    const std::string entry = bypass.substr(start, end - start);
    start = end;
    if (entry == "<local>" ? std::strchr(host, '.') == nullptr : Matches(entry.c_str(), host))
      return false;
  }
  return true;
}

NetProblem ProblemOf(DWORD error, const std::string& url) {
  switch (error) {
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
      return NetProblem::CertUntrusted;
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
      return NetProblem::CertWrongName;
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
      return NetProblem::CertDates;
    case ERROR_INTERNET_PROXY_SERVER_UNREACHABLE:
      return NetProblem::ProxyUnreachable;
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
      return GoesThroughSetProxy(url) ? NetProblem::ProxyUnreachable : NetProblem::NameNotKnown;
    case ERROR_INTERNET_CANNOT_CONNECT:
      return GoesThroughSetProxy(url) ? NetProblem::ProxyUnreachable : NetProblem::Refused;
    case ERROR_INTERNET_TIMEOUT:
      return NetProblem::NoAnswer;
    default:
      return NetProblem::Unknown;
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
  if (request == nullptr) {
    openFailure_ = ProblemOf(GetLastError(), url);
    return 0;
  }
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

std::string Win32Internet::ContentType(Handle request) {
  char type[256] = {};
  DWORD size = sizeof type - 1;
  DWORD index = 0;
  if (!HttpQueryInfoA(AsHinternet(request), HTTP_QUERY_CONTENT_TYPE, type, &size, &index))
    return "";
  return std::string(type, size);
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
