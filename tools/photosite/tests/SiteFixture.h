// Runs velko-photosite on a loopback port with a data folder of its own, and talks to it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace photosite::test {

class SiteProcess
{
public:
    // Starts the site and waits until it listens; extra options go after the usual ones.
    explicit SiteProcess(std::vector<std::string> extraOptions = {});
    ~SiteProcess();
    SiteProcess(const SiteProcess&) = delete;
    SiteProcess& operator=(const SiteProcess&) = delete;

    // Ends the site as Ctrl+C does, and starts it again on the same data folder (on a new
    // port): between the two a test can leave files as a run that died would have.
    void stop();
    void start();

    int port() const { return mPort; }
    std::string base() const;
    const std::filesystem::path& dataFolder() const { return mData; }

private:
    std::filesystem::path mData;
    std::vector<std::string> mExtraOptions;
    pid_t mPid = -1;
    int mPort = 0;
    bool mTls = false;
};

struct Reply
{
    long status = 0;
    std::string body;
    std::map<std::string, std::string> headers; // lower-case names
};

struct RequestOptions
{
    std::string cookie;
    std::string contentType;
    std::string caFile;
    bool pathAsIs = false;
};

inline RequestOptions withCookie(std::string cookie)
{
    RequestOptions options;
    options.cookie = std::move(cookie);
    return options;
}
// A body as the program sends it, optionally over TLS with this certificate.
inline RequestOptions programBody(std::string caFile = {})
{
    RequestOptions options;
    options.contentType = "multipart/form-data";
    options.caFile = std::move(caFile);
    return options;
}
inline RequestOptions trusting(std::string caFile)
{
    RequestOptions options;
    options.caFile = std::move(caFile);
    return options;
}
inline RequestOptions pathAsIs()
{
    RequestOptions options;
    options.pathAsIs = true;
    return options;
}

Reply httpGet(const std::string& url, const RequestOptions& options = {});
Reply httpPost(const std::string& url, const std::string& body, const RequestOptions& options = {});

// Writes raw bytes to the port and returns what comes back before the server closes.
std::string rawExchange(int port, const std::string& bytes, bool closeWriting);
// Writes raw bytes to the port and closes at once, reading nothing.
void rawSendAndLeave(int port, const std::string& bytes);

// The protocol's framing: the length line, then the lines, then the image bytes.
std::string frame(const std::vector<std::string>& lines, const std::string& images = {});
std::vector<std::string> answerLines(const std::string& answer);

// Makes an account through /register; returns its session cookie ("vps_session=...").
std::string registerAccount(const std::string& base, const std::string& email,
                            const std::string& password, const std::string& caFile = {});
// The csrf token in a page's form.
std::string csrfOf(const std::string& html);

} // namespace photosite::test
