#include "SiteFixture.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <stdexcept>

extern char** environ;

namespace photosite::test {

namespace {

size_t collectBody(char* data, size_t size, size_t count, void* target)
{
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

size_t collectHeader(char* data, size_t size, size_t count, void* target)
{
    const std::string line(data, size * count);
    const auto colon = line.find(':');
    if (colon != std::string::npos) {
        std::string name = line.substr(0, colon);
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        value.erase(value.find_last_not_of("\r\n") + 1);
        (*static_cast<std::map<std::string, std::string>*>(target))[name] = value;
    }
    return size * count;
}

Reply perform(const std::string& url, const std::string* body, const RequestOptions& options)
{
    CURL* curl = curl_easy_init();
    Reply reply;
    curl_slist* headers = nullptr;
    if (!options.cookie.empty())
        headers = curl_slist_append(headers, ("Cookie: " + options.cookie).c_str());
    if (!options.contentType.empty())
        headers = curl_slist_append(headers, ("Content-Type: " + options.contentType).c_str());
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collectBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, collectHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply.headers);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, options.pathAsIs ? 1L : 0L);
    if (!options.caFile.empty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, options.caFile.c_str());
    if (body) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body->data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
    }
    const CURLcode result = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    if (result != CURLE_OK)
        throw std::runtime_error(url + ": " + curl_easy_strerror(result));
    return reply;
}

} // namespace

SiteProcess::SiteProcess(std::vector<std::string> extraOptions)
    : mExtraOptions(std::move(extraOptions))
{
    std::string pattern = (std::filesystem::temp_directory_path() / "photosite-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    mData = pattern;
    try {
        start();
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove_all(mData, ignored);
        throw;
    }
}

void SiteProcess::start()
{
    std::vector<std::string> args{
        VELKO_PHOTOSITE, "--data", mData.string(), "--port", "0", "--key", VELKO_CREDENTIAL_KEY};
    mTls = false;
    for (const std::string& option : mExtraOptions) {
        mTls = mTls || option == "--tls-cert";
        args.push_back(option);
    }
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe(out) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const int spawned = posix_spawn(&mPid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        mPid = -1;
        close(out[0]);
        throw std::runtime_error("cannot start velko-photosite");
    }
    // Its first line names the port; reading it waits until the site listens.
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n')
        line += c;
    close(out[0]);
    const auto colon = line.rfind(':');
    if (line.find("listening") == std::string::npos || colon == std::string::npos) {
        stop();
        throw std::runtime_error("velko-photosite did not start: " + line);
    }
    mPort = std::stoi(line.substr(colon + 1));
}

void SiteProcess::stop()
{
    if (mPid > 0) {
        kill(mPid, SIGTERM);
        int status = 0;
        waitpid(mPid, &status, 0);
    }
    mPid = -1;
}

SiteProcess::~SiteProcess()
{
    stop();
    std::error_code ignored;
    std::filesystem::remove_all(mData, ignored);
}

std::string SiteProcess::base() const
{
    return (mTls ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(mPort);
}

Reply httpGet(const std::string& url, const RequestOptions& options)
{
    return perform(url, nullptr, options);
}

Reply httpPost(const std::string& url, const std::string& body, const RequestOptions& options)
{
    RequestOptions withType = options;
    if (withType.contentType.empty())
        withType.contentType = "application/x-www-form-urlencoded";
    return perform(url, &body, withType);
}

namespace {

int connectLoopback(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval timeout{30, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        throw std::runtime_error("connect failed");
    }
    return fd;
}

} // namespace

void rawSendAndLeave(int port, const std::string& bytes)
{
    const int fd = connectLoopback(port);
    (void)!send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    close(fd);
}

std::string rawExchange(int port, const std::string& bytes, bool closeWriting)
{
    const int fd = connectLoopback(port);
    // The site may close before it has read everything; that must not end the test.
    (void)!send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (closeWriting)
        shutdown(fd, SHUT_WR);
    std::string reply;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0)
        reply.append(buffer, static_cast<std::size_t>(got));
    close(fd);
    return reply;
}

std::string frame(const std::vector<std::string>& lines, const std::string& images)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return std::to_string(text.size() + images.size()) + "\r\n" + text + images;
}

std::vector<std::string> answerLines(const std::string& answer)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const auto end = answer.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(answer.substr(start));
            return lines;
        }
        lines.push_back(answer.substr(start, end - start));
        start = end + 2;
    }
}

std::string csrfOf(const std::string& html)
{
    std::smatch match;
    if (!std::regex_search(html, match, std::regex("name=\"csrf\" value=\"([0-9a-f]+)\"")))
        throw std::runtime_error("no csrf token in the page");
    return match[1];
}

std::string registerAccount(const std::string& base, const std::string& email,
                            const std::string& password, const std::string& caFile)
{
    const Reply form = httpGet(base + "/register", trusting(caFile));
    const std::string cookie = form.headers.at("set-cookie").substr(0, 76);
    const Reply done = httpPost(base + "/register",
                                "email=" + email + "&password=" + password +
                                    "&password2=" + password + "&csrf=" + csrfOf(form.body),
                                [&] {
                                    RequestOptions options = trusting(caFile);
                                    options.cookie = cookie;
                                    return options;
                                }());
    if (done.status != 303)
        throw std::runtime_error("registering failed: " + done.body);
    return done.headers.at("set-cookie").substr(0, 76);
}

} // namespace photosite::test
