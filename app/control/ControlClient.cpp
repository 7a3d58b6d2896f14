#include "ControlClient.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "ControlPath.h"

namespace vendrix::app {

namespace {

using TClock = std::chrono::steady_clock;

// The longest answer line read; real answers are a few bytes.
constexpr std::size_t kMaxAnswer = 512;

TControlAnswer Fail(TControlStatus status, std::string text) {
    return TControlAnswer{status, std::move(text)};
}

std::string SystemError(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

class TFd {
public:
    explicit TFd(int fd) : FFd(fd) {}
    ~TFd() {
        if (FFd >= 0) close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }

private:
    int FFd;
};

int RemainingMs(TClock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
    return left > 0 ? int(left) : 0;
}

std::string FolderOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

std::string TimedOutText(const std::string& socketPath, int timeoutMs) {
    return "no answer from " + socketPath + " within " + std::to_string(timeoutMs) + " ms";
}

// For a base folder the messages name the folder rather than the socket.
TControlAnswer ForBase(TControlAnswer answer, const std::string& baseFolder, int timeoutMs) {
    std::string base = NormalControlBase(baseFolder);
    if (answer.Status == TControlStatus::NoInstance) answer.Text = "no instance running for " + base;
    if (answer.Status == TControlStatus::TimedOut)
        answer.Text =
            "the instance for " + base + " gave no answer within " + std::to_string(timeoutMs) + " ms";
    return answer;
}

} // namespace

TControlAnswer SendControl(const std::string& socketPath, const TControlRequest& request, int timeoutMs) {
    if (request.Verb == TControlVerb::Command) {
        if (request.Text.size() > kMaxControlText)
            return Fail(TControlStatus::Failed,
                        "a control command holds at most " + std::to_string(kMaxControlText) + " characters");
        if (request.Text.find_first_of("\r\n") != std::string::npos)
            return Fail(TControlStatus::Failed, "a control command is one line of text");
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof addr.sun_path)
        return Fail(TControlStatus::Failed, "the control socket path is too long: " + socketPath);
    std::memcpy(addr.sun_path, socketPath.data(), socketPath.size());

    struct stat st {};
    std::string folder = FolderOf(socketPath);
    if (lstat(folder.c_str(), &st) != 0 && errno == ENOENT)
        return Fail(TControlStatus::NoInstance, "nothing listens on " + socketPath);
    try {
        CheckControlFolder(folder, false);
    } catch (const std::exception& e) {
        return Fail(TControlStatus::Failed, e.what());
    }

    auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
    TFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0) return Fail(TControlStatus::Failed, SystemError("cannot create a socket", errno));
    // A connect to a listener whose backlog is full waits, but no longer
    // than the send time-out.
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(fd.Get(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    if (connect(fd.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        int error = errno;
        if (error == ENOENT || error == ECONNREFUSED)
            return Fail(TControlStatus::NoInstance, "nothing listens on " + socketPath);
        if (error == EAGAIN || error == EINPROGRESS)
            return Fail(TControlStatus::TimedOut, TimedOutText(socketPath, timeoutMs));
        return Fail(TControlStatus::Failed, SystemError("cannot connect to " + socketPath, error));
    }

    std::string line = FormatControlRequest(request);
    for (std::size_t sent = 0; sent < line.size();) {
        ssize_t n = send(fd.Get(), line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return Fail(TControlStatus::TimedOut, TimedOutText(socketPath, timeoutMs));
        if (n < 0) return Fail(TControlStatus::Failed, SystemError("cannot send to " + socketPath, errno));
        sent += std::size_t(n);
    }

    std::string answer;
    for (;;) {
        auto end = answer.find('\n');
        if (end != std::string::npos) {
            answer.resize(end);
            break;
        }
        if (answer.size() > kMaxAnswer)
            return Fail(TControlStatus::Failed, "an overlong answer from " + socketPath);
        pollfd pfd{fd.Get(), POLLIN, 0};
        int ready = poll(&pfd, 1, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0)
            return Fail(TControlStatus::Failed, SystemError("cannot wait for " + socketPath, errno));
        if (ready == 0) return Fail(TControlStatus::TimedOut, TimedOutText(socketPath, timeoutMs));
        char buffer[256];
        ssize_t n = recv(fd.Get(), buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n < 0) return Fail(TControlStatus::Failed, SystemError("cannot read from " + socketPath, errno));
        if (n == 0)
            return Fail(TControlStatus::Failed, socketPath + " closed the connection without an answer");
        answer.append(buffer, std::size_t(n));
    }
    if (!answer.empty() && answer.back() == '\r') answer.pop_back();
    if (answer.starts_with(kControlErrorPrefix))
        return Fail(TControlStatus::Refused,
                    "the instance refused the request: " + answer.substr(kControlErrorPrefix.size()));
    return TControlAnswer{TControlStatus::Answered, answer};
}

TControlAnswer IdentifyAt(const std::string& socketPath, int timeoutMs) {
    TControlAnswer answer = SendControl(socketPath, TControlRequest{TControlVerb::Identify, {}}, timeoutMs);
    if (answer.Ok() && answer.Text != kControlIdentifyAnswer)
        return Fail(TControlStatus::Failed, socketPath + " answers, but not as an instance of this program");
    return answer;
}

TControlAnswer Identify(const std::string& baseFolder, int timeoutMs) {
    return ForBase(IdentifyAt(ControlSocketPath(baseFolder), timeoutMs), baseFolder, timeoutMs);
}

TControlAnswer Activate(const std::string& baseFolder, int timeoutMs) {
    return ForBase(
        SendControl(ControlSocketPath(baseFolder), TControlRequest{TControlVerb::Activate, {}}, timeoutMs),
        baseFolder, timeoutMs);
}

TControlAnswer SendCommand(const std::string& baseFolder, const std::string& text, int timeoutMs) {
    return ForBase(
        SendControl(ControlSocketPath(baseFolder), TControlRequest{TControlVerb::Command, text}, timeoutMs),
        baseFolder, timeoutMs);
}

} // namespace vendrix::app
