#include "PhotoSite.h"

#include "SiteDatabase.h"
#include "SiteProtocol.h"
#include "SiteRules.h"
#include "WebText.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <utility>
#include <vector>

namespace photosite {

namespace {

constexpr char kSiteName[] = "Velko Photosite";
constexpr char kSessionCookie[] = "vps_session";
constexpr std::int64_t kSessionSeconds = 7 * 24 * 3600;
constexpr std::uint64_t kSmallBodyCap = 64 * 1024;
constexpr std::size_t kUploadHeadBytes = 64 * 1024;

constexpr char kLoginPath[] = "/programma/checklogin.aspx";
constexpr char kAddBookPath[] = "/programma/addbook.aspx";
constexpr char kFreeSpacePath[] = "/programma/getfreespace.aspx";
constexpr char kUploadPath[] = "/programma/uploadfile.aspx";
constexpr char kManualPath[] = "/fotodesk/manual/default.aspx";
constexpr char kManualFolder[] = "/fotodesk/manual/";

constexpr char kWrongLogin[] = "The e-mail address or password is not correct.";
constexpr char kLocked[] = "Too many wrong passwords for this account. Try again in a minute.";
constexpr int kAllowedFailures = 5;
constexpr std::int64_t kRestSeconds = 60;

// A file descriptor closed with its owner.
class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : mFd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : mFd(std::exchange(other.mFd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        reset();
        mFd = std::exchange(other.mFd, -1);
        return *this;
    }
    int get() const { return mFd; }
    int release() { return std::exchange(mFd, -1); }
    void reset()
    {
        if (mFd >= 0)
            ::close(mFd);
        mFd = -1;
    }

private:
    int mFd = -1;
};

// One request while its body arrives: small bodies in memory, uploads in an unlinked file.
struct Request
{
    std::string path;
    bool post = false;
    bool answered = false;
    std::uint64_t cap = kSmallBodyCap;
    std::uint64_t received = 0;
    std::string memory;
    UniqueFd file;
    // The upload's file could not take the body (a full disk): the rest is read and dropped,
    // so that the program gets an answer it can show instead of a broken connection.
    bool storeFailed = false;
};

struct Answer
{
    unsigned status = MHD_HTTP_OK;
    std::string body;
    std::string contentType = "text/html; charset=utf-8";
    std::vector<std::pair<std::string, std::string>> headers;
    // A photo goes out from its file, not through memory.
    std::shared_ptr<UniqueFd> file;
    std::uint64_t fileSize = 0;
};

std::int64_t nowSeconds()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::string randomHex(std::size_t bytes)
{
    std::vector<unsigned char> raw(bytes);
    randombytes_buf(raw.data(), raw.size());
    std::string hex(bytes * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), raw.data(), raw.size());
    hex.pop_back();
    return hex;
}

bool equalSecrets(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && !a.empty() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string readWholeFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string formatBytes(std::int64_t bytes)
{
    char text[64];
    if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024.0);
    else
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1048576.0);
    return text;
}

const char* imageType(const unsigned char* head, std::size_t size)
{
    if (size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF)
        return "image/jpeg";
    if (size >= 2 && head[0] == 'B' && head[1] == 'M')
        return "image/bmp";
    return nullptr;
}

std::string photoCount(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " photo" : " photos");
}

std::vector<std::string> splitPath(const std::string& path)
{
    std::vector<std::string> parts;
    std::size_t start = 1;
    while (start < path.size()) {
        auto end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::optional<std::int64_t> parseId(const std::string& text)
{
    const auto value = parseInt32(text);
    if (!value || *value <= 0 || std::to_string(*value) != text)
        return std::nullopt;
    return *value;
}

// The stored size of one of a photo's images ("photo", "display", "thumb"); -1 for another name.
std::int64_t imageSize(const Photo& photo, const std::string& kind)
{
    return kind == "photo"     ? photo.mainSize
           : kind == "display" ? photo.displaySize
           : kind == "thumb"   ? photo.thumbSize
                               : -1;
}

std::string page(const std::string& title, const std::string& body)
{
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>" +
           escapeHtml(title) + " - " + kSiteName +
           "</title><style>"
           "body{font-family:sans-serif;margin:0;background:#f4f4f4;color:#222}"
           "header{background:#ed1c24;color:#fff;padding:.6em 1em}header a{color:#fff}"
           "main{padding:1em;max-width:60em}"
           ".grid{display:flex;flex-wrap:wrap;gap:1em}"
           "figure{margin:0;background:#fff;padding:.5em;box-shadow:0 1px 3px #0003}"
           "figure img{max-width:160px;max-height:160px;display:block}"
           "figcaption{font-size:.8em;max-width:160px;overflow-wrap:anywhere}"
           ".error{color:#b00;font-weight:bold}label{display:block;margin:.4em 0}"
           "form.fields label{display:grid;grid-template-columns:9em 18em;align-items:center}"
           "</style></head><body><header><a href=\"/\">" +
           std::string(kSiteName) + "</a></header><main><h1>" + escapeHtml(title) + "</h1>" + body +
           "</main></body></html>\n";
}

Answer htmlAnswer(unsigned status, const std::string& title, const std::string& body)
{
    Answer answer;
    answer.status = status;
    answer.body = page(title, body);
    return answer;
}

Answer textAnswer(std::string text)
{
    Answer answer;
    answer.body = std::move(text);
    answer.contentType = "text/plain; charset=utf-8";
    return answer;
}

Answer redirect(const std::string& location)
{
    Answer answer = htmlAnswer(MHD_HTTP_SEE_OTHER, "Moved",
                               "<p><a href=\"" + escapeHtml(location) + "\">Continue</a></p>");
    answer.headers.emplace_back("Location", location);
    return answer;
}

std::string hiddenField(const std::string& name, const std::string& value)
{
    return "<input type=\"hidden\" name=\"" + name + "\" value=\"" + escapeHtml(value) + "\">";
}

} // namespace

struct PhotoSite::Private
{
    SiteOptions options;
    upload::CredentialKey key;
    std::unique_ptr<SiteDatabase> db;
    MHD_Daemon* daemon = nullptr;
    std::string tlsCert;
    std::string tlsKey;
    bool tls = false;
    std::filesystem::path tmpFolder;
    std::filesystem::path photoFolder;
    // Digests of passwords checked once this run, so that each upload of a series does not
    // pay for a full password hash.
    std::array<unsigned char, crypto_generichash_KEYBYTES> verifyKey{};
    std::map<std::int64_t, std::array<unsigned char, 32>> verified;
    struct Attempts
    {
        int failures = 0;
        std::int64_t lockedUntil = 0;
    };
    std::map<std::int64_t, Attempts> attempts;
    // Why the last authenticate() refused.
    std::string refusal;

    Private(const SiteOptions& o, upload::CredentialKey k) : options(o), key(std::move(k)) {}

    static MHD_Result onRequest(void* cls, MHD_Connection* connection, const char* url,
                                const char* method, const char*, const char* data, size_t* dataSize,
                                void** state);
    static void onCompleted(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode);

    MHD_Result begin(MHD_Connection* connection, const std::string& url, const std::string& method,
                     Request*& request);
    MHD_Result send(MHD_Connection* connection, const Answer& answer);
    Answer dispatch(MHD_Connection* connection, Request& request);

    // Protocol.
    Answer protocol(MHD_Connection* connection, Request& request);
    std::optional<User> authenticate(const std::string& emailKey, const std::string& password);
    std::string uploadHost(MHD_Connection* connection) const;
    // The site's web address with its scheme, as people reach it.
    std::string siteAddress(MHD_Connection* connection) const;
    std::string albumPath(const User& user, std::int64_t albumId) const;
    std::string storeUpload(Request& request, const UploadRequest& upload, const User& user);
    // A copy of size bytes at offset of the file from, in a new file of tmp; empty on failure.
    std::filesystem::path copyToPart(int from, std::uint64_t offset, std::int64_t size);
    static void syncFolder(const std::filesystem::path& folder);
    void setAsideStrayFiles();

    // Web pages.
    std::optional<WebSession> currentSession(MHD_Connection* connection);
    WebSession startSession(std::int64_t userId, Answer& answer, const std::string& oldId);
    Answer registerPage(MHD_Connection* connection, Request& request);
    Answer signInPage(MHD_Connection* connection, Request& request);
    Answer signOut(MHD_Connection* connection, Request& request);
    Answer userPages(MHD_Connection* connection, Request& request,
                     const std::vector<std::string>& parts);
    Answer userEditPage(MHD_Connection* connection, Request& request, const User& owner,
                        const WebSession& session);
    Answer albumEditPage(MHD_Connection* connection, Request& request, const User& owner,
                         const Album& album, const WebSession& session);
    Answer galleryPage(const User& owner, const Album& album, const std::string& keyQuery);
    Answer imageFile(const Photo& photo, const std::string& kind);
    Answer errorInfoPage(MHD_Connection* connection);
    Answer manualPage(const std::string& path);
    Answer homePage(MHD_Connection* connection);
    void deletePhotoFiles(std::int64_t photoId);

    std::string query(MHD_Connection* connection, const char* name) const
    {
        const char* value = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, name);
        return value ? value : "";
    }
    std::string header(MHD_Connection* connection, const char* name) const
    {
        const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
        return value ? value : "";
    }
    std::optional<FormFields> form(MHD_Connection* connection, const Request& request) const
    {
        if (header(connection, "Content-Type").rfind("application/x-www-form-urlencoded", 0) != 0)
            return std::nullopt;
        return parseForm(request.memory);
    }
    std::string sessionCookie(const std::string& id, std::int64_t maxAge) const
    {
        return std::string(kSessionCookie) + "=" + id +
               "; Path=/; Max-Age=" + std::to_string(maxAge) + "; HttpOnly; SameSite=Lax" +
               (tls ? "; Secure" : "");
    }
    std::filesystem::path photoFile(std::int64_t id, const std::string& kind) const
    {
        return photoFolder / (std::to_string(id) + "-" + kind);
    }
};

PhotoSite::PhotoSite(const SiteOptions& options, upload::CredentialKey key)
    : d(std::make_unique<Private>(options, std::move(key)))
{}

PhotoSite::~PhotoSite()
{
    if (d->daemon)
        MHD_stop_daemon(d->daemon);
}

void PhotoSite::start()
{
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium cannot start");
    crypto_generichash_keygen(d->verifyKey.data());
    namespace fs = std::filesystem;
    d->tmpFolder = d->options.dataFolder / "tmp";
    d->photoFolder = d->options.dataFolder / "photos";
    std::error_code error;
    // A folder the site makes itself holds password hashes and private photos: its owner's only.
    if (!fs::exists(d->options.dataFolder, error) && !error &&
        fs::create_directories(d->options.dataFolder, error))
        fs::permissions(d->options.dataFolder, fs::perms::owner_all, fs::perm_options::replace,
                        error);
    if (!error)
        fs::create_directories(d->tmpFolder, error);
    if (!error)
        fs::create_directories(d->photoFolder, error);
    if (error)
        throw std::runtime_error("cannot make the folders under " + d->options.dataFolder.string() +
                                 ": " + error.message());
    d->db = std::make_unique<SiteDatabase>((d->options.dataFolder / "photosite.db").string());
    d->setAsideStrayFiles();

    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_ERROR_LOG;
    if (!d->options.tlsCertFile.empty()) {
        if (MHD_is_feature_supported(MHD_FEATURE_TLS) != MHD_YES)
            throw std::runtime_error("this libmicrohttpd has no TLS");
        d->tlsCert = readWholeFile(d->options.tlsCertFile);
        d->tlsKey = readWholeFile(d->options.tlsKeyFile);
        if (d->tlsCert.empty() || d->tlsKey.empty())
            throw std::runtime_error("cannot read the TLS certificate or key");
        d->tls = true;
        flags |= MHD_USE_TLS;
    }

    sockaddr_in address4{};
    sockaddr_in6 address6{};
    const sockaddr* address = nullptr;
    const auto port = static_cast<std::uint16_t>(d->options.port);
    if (inet_pton(AF_INET, d->options.bindAddress.c_str(), &address4.sin_addr) == 1) {
        address4.sin_family = AF_INET;
        address4.sin_port = htons(port);
        address = reinterpret_cast<const sockaddr*>(&address4);
    } else if (inet_pton(AF_INET6, d->options.bindAddress.c_str(), &address6.sin6_addr) == 1) {
        address6.sin6_family = AF_INET6;
        address6.sin6_port = htons(port);
        address = reinterpret_cast<const sockaddr*>(&address6);
        flags |= MHD_USE_IPv6;
    } else {
        throw std::runtime_error("\"" + d->options.bindAddress + "\" is not an IP address");
    }

    std::vector<MHD_OptionItem> items{
        {MHD_OPTION_SOCK_ADDR, 0, const_cast<sockaddr*>(address)},
        {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&Private::onCompleted), d.get()},
        {MHD_OPTION_CONNECTION_TIMEOUT, 60, nullptr},
        {MHD_OPTION_CONNECTION_LIMIT, 200, nullptr},
        {MHD_OPTION_PER_IP_CONNECTION_LIMIT, 50, nullptr},
    };
    if (d->tls) {
        items.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, d->tlsCert.data()});
        items.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, d->tlsKey.data()});
    }
    items.push_back({MHD_OPTION_END, 0, nullptr});
    d->daemon = MHD_start_daemon(flags, port, nullptr, nullptr, &Private::onRequest, d.get(),
                                 MHD_OPTION_ARRAY, items.data(), MHD_OPTION_END);
    // With TLS a bad certificate or key fails here too, and errno then says nothing of it;
    // the server has already logged the reason.
    if (!d->daemon)
        throw std::runtime_error("cannot listen on " + d->options.bindAddress + " port " +
                                 std::to_string(d->options.port) + ": " +
                                 (d->tls ? "the port, or the TLS certificate and key (see above)"
                                         : std::strerror(errno)));
}

int PhotoSite::port() const
{
    const MHD_DaemonInfo* info = MHD_get_daemon_info(d->daemon, MHD_DAEMON_INFO_BIND_PORT);
    return info ? info->port : 0;
}

// ---- request plumbing ----

MHD_Result PhotoSite::Private::onRequest(void* cls, MHD_Connection* connection, const char* url,
                                         const char* method, const char*, const char* data,
                                         size_t* dataSize, void** state)
{
    auto* self = static_cast<Private*>(cls);
    auto* request = static_cast<Request*>(*state);
    if (!request) {
        const MHD_Result result = self->begin(connection, url, method, request);
        *state = request;
        return result;
    }
    if (request->answered) {
        *dataSize = 0;
        return MHD_YES;
    }
    if (*dataSize > 0) {
        const std::uint64_t size = *dataSize;
        *dataSize = 0;
        if (request->received + size > request->cap) {
            // A chunked body that grows past the cap. The server takes no answer in the middle
            // of a body, so the connection is closed: reading on could take forever.
            request->answered = true;
            request->file.reset();
            request->memory.clear();
            return MHD_NO;
        }
        request->received += size;
        if (request->file.get() >= 0) {
            const char* at = data;
            std::uint64_t left = size;
            while (left > 0) {
                const ssize_t written = ::write(request->file.get(), at, left);
                if (written < 0 && errno == EINTR)
                    continue;
                if (written <= 0) {
                    request->storeFailed = true;
                    request->file.reset();
                    break;
                }
                at += written;
                left -= static_cast<std::uint64_t>(written);
            }
        } else if (!request->storeFailed) {
            request->memory.append(data, size);
        }
        return MHD_YES;
    }
    request->answered = true;
    Answer answer;
    try {
        answer = self->dispatch(connection, *request);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velko-photosite: %s: %s\n", request->path.c_str(), error.what());
        answer = htmlAnswer(MHD_HTTP_INTERNAL_SERVER_ERROR, "Server error",
                            "<p>The site could not handle this request.</p>");
    }
    return self->send(connection, answer);
}

void PhotoSite::Private::onCompleted(void*, MHD_Connection*, void** state,
                                     MHD_RequestTerminationCode)
{
    delete static_cast<Request*>(*state);
    *state = nullptr;
}

MHD_Result PhotoSite::Private::begin(MHD_Connection* connection, const std::string& url,
                                     const std::string& method, Request*& request)
{
    request = new Request;
    request->path = url;
    request->post = method == "POST";
    if (method != "GET" && method != "HEAD" && method != "POST") {
        request->answered = true;
        return send(connection, htmlAnswer(MHD_HTTP_METHOD_NOT_ALLOWED, "Not allowed",
                                           "<p>This method is not served here.</p>"));
    }
    // Even a GET is answered on the next call: answering before the request is read in full
    // makes the server close the connection, and keep-alive matters for a series of uploads.
    if (!request->post)
        return MHD_YES;
    if (request->path == kUploadPath) {
        // Three images and their text lines.
        request->cap = 3ULL * static_cast<std::uint64_t>(options.maxImageBytes) + kUploadHeadBytes;
        const std::string pattern = (tmpFolder / "upload-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        UniqueFd fd(::mkostemp(name.data(), O_CLOEXEC));
        if (fd.get() < 0) {
            request->answered = true;
            return send(connection, htmlAnswer(MHD_HTTP_INTERNAL_SERVER_ERROR, "Server error",
                                               "<p>The site cannot store the upload.</p>"));
        }
        ::unlink(name.data());
        request->file = std::move(fd);
    }
    const std::string length = header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH);
    if (!length.empty()) {
        errno = 0;
        char* end = nullptr;
        const unsigned long long declared = std::strtoull(length.c_str(), &end, 10);
        if (errno != 0 || *end != '\0' || declared > request->cap) {
            request->answered = true;
            request->file.reset();
            return send(connection, htmlAnswer(MHD_HTTP_CONTENT_TOO_LARGE, "Request too large",
                                               "<p>The request is too large.</p>"));
        }
    }
    return MHD_YES;
}

MHD_Result PhotoSite::Private::send(MHD_Connection* connection, const Answer& answer)
{
    MHD_Response* response =
        answer.file ? MHD_create_response_from_fd64(answer.fileSize, answer.file->release())
                    : MHD_create_response_from_buffer(answer.body.size(),
                                                      const_cast<char*>(answer.body.data()),
                                                      MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.c_str());
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    if (answer.contentType.rfind("text/html", 0) == 0) {
        MHD_add_response_header(response, "Content-Security-Policy",
                                "default-src 'none'; img-src 'self'; style-src 'unsafe-inline'; "
                                "form-action 'self'; frame-ancestors 'none'; base-uri 'none'");
        MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
        MHD_add_response_header(response, "Cache-Control", "no-store");
    }
    for (const auto& [name, value] : answer.headers)
        MHD_add_response_header(response, name.c_str(), value.c_str());
    const MHD_Result result = MHD_queue_response(connection, answer.status, response);
    MHD_destroy_response(response);
    return result;
}

Answer PhotoSite::Private::dispatch(MHD_Connection* connection, Request& request)
{
    const std::string& path = request.path;
    const std::vector<std::string> parts = splitPath(path);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        // "." and ".." climb; an empty part inside the path is "//".
        if (parts[i] == "." || parts[i] == ".." || (parts[i].empty() && !last) ||
            parts[i].find('\\') != std::string::npos || parts[i].find('\0') != std::string::npos)
            return htmlAnswer(MHD_HTTP_BAD_REQUEST, "Bad address",
                              "<p>This address is not valid.</p>");
    }
    if (path == kLoginPath || path == kAddBookPath || path == kFreeSpacePath ||
        path == kUploadPath) {
        if (!request.post)
            return textAnswer("Velko Photosite: this address takes the program's requests.");
        return protocol(connection, request);
    }
    if (path == "/" && !request.post)
        return homePage(connection);
    if (path == "/register")
        return registerPage(connection, request);
    if (path == "/signin")
        return signInPage(connection, request);
    if (path == "/signout" && request.post)
        return signOut(connection, request);
    if ((path == "/programerror/" || path == "/programerror") && !request.post)
        return errorInfoPage(connection);
    if (path.rfind(kManualFolder, 0) == 0 && !request.post)
        return manualPage(path);
    if (!parts.empty() && !parts[0].empty() && parts[0] != "programma" && parts[0] != "fotodesk" &&
        parts[0] != "programerror")
        return userPages(connection, request, parts);
    return htmlAnswer(MHD_HTTP_NOT_FOUND, "Not found", "<p>There is no page here.</p>");
}

// ---- protocol ----

std::optional<User> PhotoSite::Private::authenticate(const std::string& emailKey,
                                                     const std::string& password)
{
    refusal = kWrongLogin;
    auto user = db->userByEmailKey(emailKey);
    if (!user)
        return std::nullopt;
    // Guessing passwords online: after five wrong ones the account rests for a minute.
    const std::int64_t now = nowSeconds();
    Attempts& tries = attempts[user->id];
    if (tries.lockedUntil > now) {
        refusal = kLocked;
        return std::nullopt;
    }
    std::array<unsigned char, 32> digest{};
    const std::string input = user->passwordHash + '\n' + password;
    crypto_generichash(digest.data(), digest.size(),
                       reinterpret_cast<const unsigned char*>(input.data()), input.size(),
                       verifyKey.data(), verifyKey.size());
    const auto known = verified.find(user->id);
    if (known != verified.end() &&
        sodium_memcmp(known->second.data(), digest.data(), digest.size()) == 0)
        return user;
    if (crypto_pwhash_str_verify(user->passwordHash.c_str(), password.data(), password.size()) !=
        0) {
        if (++tries.failures >= kAllowedFailures) {
            tries = Attempts{0, now + kRestSeconds};
            refusal = kLocked;
        }
        return std::nullopt;
    }
    attempts.erase(user->id);
    verified[user->id] = digest;
    return user;
}

std::string PhotoSite::Private::uploadHost(MHD_Connection* connection) const
{
    if (!options.publicHost.empty()) {
        // A name without a scheme means this site's own: https when it serves TLS itself.
        const bool schemeGiven = options.publicHost.rfind("http://", 0) == 0 ||
                                 options.publicHost.rfind("https://", 0) == 0;
        return (tls && !schemeGiven ? "https://" : "") + options.publicHost;
    }
    std::string host = header(connection, "Host");
    const bool plain = !host.empty() && host.size() < 256 &&
                       host.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789.-:[]") == std::string::npos;
    if (!plain) {
        const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT);
        host = options.bindAddress + ":" + std::to_string(info ? info->port : options.port);
    }
    return (tls ? "https://" : "") + host;
}

std::string PhotoSite::Private::siteAddress(MHD_Connection* connection) const
{
    const std::string host = uploadHost(connection);
    if (host.rfind("http://", 0) == 0 || host.rfind("https://", 0) == 0)
        return host;
    return "http://" + host;
}

std::string PhotoSite::Private::albumPath(const User& user, std::int64_t albumId) const
{
    return "/" + user.path + "/" + std::to_string(albumId) + "/";
}

Answer PhotoSite::Private::protocol(MHD_Connection* connection, Request& request)
{
    if (request.storeFailed)
        return textAnswer(
            failureAnswer("The photo site has no room to store the photo just now. Tell whoever "
                          "runs the site; the photos on your computer are unchanged."));
    std::string head = request.memory;
    std::uint64_t total = request.received;
    if (request.file.get() >= 0) {
        head.resize(static_cast<std::size_t>(std::min<std::uint64_t>(total, kUploadHeadBytes)));
        if (::pread(request.file.get(), head.data(), head.size(), 0) !=
            static_cast<ssize_t>(head.size()))
            return textAnswer(failureAnswer("The site could not read the upload."));
    }
    FramedBody body(head, total);
    if (!body.checkLength())
        return textAnswer(failureAnswer(body.error()));

    const std::string& path = request.path;
    if (path == kLoginPath) {
        LoginRequest login;
        if (auto error = readLoginRequest(body, login))
            return textAnswer(failureAnswer(*error));
        const auto user = authenticate(login.email, login.password);
        if (!user)
            return textAnswer(failureAnswer(refusal));
        std::vector<AlbumEntry> entries;
        for (const Album& album : db->albums(user->id))
            entries.push_back({album.id, album.name, album.key, albumPath(*user, album.id)});
        LoginLimits limits;
        limits.maxImageBytes = options.maxImageBytes;
        limits.preparationCap = clampToField(user->quota);
        return textAnswer(loginAnswer(0, "", user->path, user->id, entries, limits));
    }
    if (path == kAddBookPath) {
        CreateAlbumRequest create;
        if (auto error = readCreateAlbumRequest(body, create))
            return textAnswer(failureAnswer(*error));
        const auto user = authenticate(create.email, create.password);
        if (!user)
            return textAnswer(failureAnswer(refusal));
        if (!isValidAlbumName(create.albumName))
            return textAnswer(failureAnswer(
                "The name of a photo album may contain only letters a-z and A-Z, digits 0-9, "
                "spaces, \"-\" and \"_\", at most 100 of them."));
        const Album album = db->createAlbum(user->id, create.albumName, randomHex(8));
        return textAnswer(
            albumAnswer({album.id, album.name, album.key, albumPath(*user, album.id)}));
    }
    if (path == kFreeSpacePath) {
        FreeSpaceRequest space;
        if (auto error = readFreeSpaceRequest(body, space))
            return textAnswer(failureAnswer(*error));
        const auto user = authenticate(space.email, space.password);
        if (!user)
            return textAnswer(failureAnswer(refusal));
        return textAnswer(
            spaceAnswer(user->quota - db->usedBytes(user->id), uploadHost(connection)));
    }
    UploadRequest upload;
    if (request.file.get() < 0)
        return textAnswer(failureAnswer("The upload could not be stored."));
    if (auto error = readUploadRequest(body, options.maxImageBytes, upload))
        return textAnswer(failureAnswer(*error));
    const auto user = authenticate(upload.email, upload.password);
    if (!user)
        return textAnswer(failureAnswer(refusal));
    if (auto error = storeUpload(request, upload, *user); !error.empty())
        return textAnswer(failureAnswer(error));
    return textAnswer(spaceAnswer(user->quota - db->usedBytes(user->id), uploadHost(connection)));
}

std::string PhotoSite::Private::storeUpload(Request& request, const UploadRequest& upload,
                                            const User& user)
{
    const auto album = db->album(upload.albumId);
    if (!album || album->userId != user.id || !equalSecrets(album->key, upload.albumKey))
        return "The photo album does not exist.";
    if (!isPlainFileName(upload.fileName))
        return "The file name of the photo is not valid.";
    const std::int64_t sizes[3] = {upload.mainSize, upload.displaySize, upload.thumbSize};
    const std::int64_t total = sizes[0] + sizes[1] + sizes[2];
    if (db->usedBytes(user.id) + total > user.quota)
        return "There is not enough free space in your account for this photo.";
    std::uint64_t offset = upload.imageOffset;
    for (std::int64_t size : sizes) {
        unsigned char magic[3] = {};
        if (size > 0) {
            const auto want = static_cast<std::size_t>(std::min<std::int64_t>(size, 3));
            if (::pread(request.file.get(), magic, want, static_cast<off_t>(offset)) !=
                    static_cast<ssize_t>(want) ||
                !imageType(magic, want))
                return "The upload holds something that is not a JPEG or BMP picture.";
        }
        offset += static_cast<std::uint64_t>(size);
    }

    // The images go to files of their own first; the row and the files' final names then
    // come in one transaction, so an upload that fails anywhere leaves neither behind.
    static const char* const kinds[3] = {"photo", "display", "thumb"};
    std::filesystem::path parts[3];
    std::vector<std::filesystem::path> placed;
    const auto undo = [&] {
        std::error_code ignored;
        for (const auto& file : placed)
            std::filesystem::remove(file, ignored);
        for (const auto& file : parts)
            std::filesystem::remove(file, ignored);
        return std::string("The site could not store the photo.");
    };
    offset = upload.imageOffset;
    for (int i = 0; i < 3; ++i) {
        if (sizes[i] == 0)
            continue;
        parts[i] = copyToPart(request.file.get(), offset, sizes[i]);
        if (parts[i].empty())
            return undo();
        offset += static_cast<std::uint64_t>(sizes[i]);
    }

    Photo photo;
    photo.albumId = album->id;
    photo.fileName = upload.fileName;
    photo.mainSize = sizes[0];
    photo.displaySize = sizes[1];
    photo.thumbSize = sizes[2];
    photo.width = upload.width;
    photo.height = upload.height;
    try {
        SiteDatabase::Transaction transaction(*db);
        const std::int64_t id = db->addPhoto(photo);
        for (int i = 0; i < 3; ++i) {
            if (parts[i].empty())
                continue;
            const std::filesystem::path target = photoFile(id, kinds[i]);
            if (std::rename(parts[i].c_str(), target.c_str()) != 0)
                throw std::runtime_error("cannot rename into " + target.string());
            placed.push_back(target);
            parts[i].clear();
        }
        syncFolder(photoFolder);
        transaction.commit();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velko-photosite: storing a photo: %s\n", error.what());
        return undo();
    }
    return {};
}

std::filesystem::path PhotoSite::Private::copyToPart(int from, std::uint64_t offset,
                                                     std::int64_t size)
{
    const std::string pattern = (tmpFolder / "image-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    UniqueFd out(::mkostemp(name.data(), O_CLOEXEC));
    if (out.get() < 0)
        return {};
    const std::filesystem::path part(name.data());
    std::vector<char> buffer(1 << 16);
    auto at = static_cast<off_t>(offset);
    bool ok = true;
    while (ok && size > 0) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(size, 1 << 16));
        const ssize_t got = ::pread(from, buffer.data(), want, at);
        ok = got > 0 && ::write(out.get(), buffer.data(), static_cast<std::size_t>(got)) == got;
        size -= got;
        at += got;
    }
    ok = ok && ::fsync(out.get()) == 0;
    out.reset();
    if (!ok) {
        std::error_code ignored;
        std::filesystem::remove(part, ignored);
        return {};
    }
    return part;
}

void PhotoSite::Private::syncFolder(const std::filesystem::path& folder)
{
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0 || ::fsync(fd.get()) != 0)
        throw std::runtime_error("cannot sync " + folder.string());
}

void PhotoSite::Private::setAsideStrayFiles()
{
    // What a run that ended while storing a photo can leave: pieces in tmp, and files in
    // photos whose row was never committed, whose ids would be given out again. Those are
    // moved aside, not deleted: a database restored from an older backup lists fewer photos,
    // and their files must survive that.
    namespace fs = std::filesystem;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(tmpFolder, ignored))
        fs::remove_all(entry.path(), ignored);
    std::vector<fs::path> strays;
    for (const auto& entry : fs::directory_iterator(photoFolder, ignored)) {
        const std::string name = entry.path().filename().string();
        const auto dash = name.find('-');
        const auto id = dash == std::string::npos ? std::nullopt : parseId(name.substr(0, dash));
        const auto photo = id ? db->photo(*id) : std::nullopt;
        if (!photo || imageSize(*photo, name.substr(dash + 1)) <= 0)
            strays.push_back(entry.path());
    }
    if (strays.empty())
        return;
    const fs::path aside = options.dataFolder / "unlisted";
    fs::create_directories(aside);
    for (const fs::path& stray : strays) {
        fs::path target = aside / stray.filename();
        for (int n = 2; fs::exists(target); ++n)
            target = aside / (stray.filename().string() + "." + std::to_string(n));
        fs::rename(stray, target);
    }
    std::fprintf(stderr, "velko-photosite: %zu files that no album lists were moved to %s\n",
                 strays.size(), aside.c_str());
}

void PhotoSite::Private::deletePhotoFiles(std::int64_t photoId)
{
    std::error_code ignored;
    for (const char* kind : {"photo", "display", "thumb"})
        std::filesystem::remove(photoFile(photoId, kind), ignored);
}

// ---- web pages ----

std::optional<WebSession> PhotoSite::Private::currentSession(MHD_Connection* connection)
{
    const std::string id = cookieValue(header(connection, "Cookie"), kSessionCookie);
    if (id.size() != 64)
        return std::nullopt;
    return db->session(id, nowSeconds());
}

WebSession PhotoSite::Private::startSession(std::int64_t userId, Answer& answer,
                                            const std::string& oldId)
{
    // A fresh id at every sign-in, so that an id planted before it is worth nothing after.
    if (!oldId.empty())
        db->deleteSession(oldId);
    WebSession session{randomHex(32), userId, randomHex(32)};
    // A session that only carries a form's token need not outlive the form for long.
    const std::int64_t lifetime = userId ? kSessionSeconds : 3600;
    const std::int64_t now = nowSeconds();
    db->saveSession(session, now + lifetime, now);
    answer.headers.emplace_back("Set-Cookie", sessionCookie(session.id, lifetime));
    return session;
}

Answer PhotoSite::Private::homePage(MHD_Connection* connection)
{
    std::string body = "<p>Photo albums for the household, filled from Velko Fotodesk.</p><ul>";
    const auto session = currentSession(connection);
    const auto user = session && session->userId ? db->userById(session->userId) : std::nullopt;
    if (user)
        body += "<li><a href=\"/" + escapeHtml(user->path) + "/edit/\">Your albums</a></li>";
    else
        body += "<li><a href=\"/signin\">Sign in</a></li>"
                "<li><a href=\"/register\">Make an account</a></li>";
    body += "<li><a href=\"" + std::string(kManualPath) + "\">The manual</a></li></ul>";
    return htmlAnswer(MHD_HTTP_OK, kSiteName, body);
}

Answer PhotoSite::Private::registerPage(MHD_Connection* connection, Request& request)
{
    auto session = currentSession(connection);
    Answer answer;
    std::string message;
    std::string email;
    if (request.post) {
        const auto fields = form(connection, request);
        if (!fields || !session || !equalSecrets(formValue(*fields, "csrf"), session->csrf))
            return htmlAnswer(MHD_HTTP_FORBIDDEN, "Make an account",
                              "<p class=\"error\">The form has expired. "
                              "<a href=\"/register\">Open it again</a>.</p>");
        email = formValue(*fields, "email");
        const std::string password = formValue(*fields, "password");
        if (!looksLikeEmail(email))
            message = "Enter an e-mail address such as name@example.org.";
        else if (!isAcceptedCredential(password, 6, 100))
            message = "The password needs 6 to 100 characters, letters, digits, spaces or signs "
                      "of the keyboard without accents.";
        else if (password != formValue(*fields, "password2"))
            message = "The two passwords differ.";
        else if (db->userByEmailKey(key.encode(email)))
            message = "An account with this e-mail address exists already.";
        if (message.empty()) {
            const std::string encoded = key.encode(password);
            std::string hash(crypto_pwhash_STRBYTES, '\0');
            if (crypto_pwhash_str(hash.data(), encoded.data(), encoded.size(),
                                  crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                  crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
                throw std::runtime_error("out of memory for the password hash");
            hash.resize(std::strlen(hash.c_str()));
            const std::string base = userPathBase(email);
            static const char* const reserved[] = {
                "register", "signin", "signout", "programma", "programerror", "fotodesk", "edit"};
            std::string path = base;
            for (int n = 2;; ++n) {
                bool clash = db->pathTaken(path);
                for (const char* word : reserved)
                    clash = clash || path == word;
                if (!clash)
                    break;
                path = base + "-" + std::to_string(n);
            }
            std::string lowered = email;
            for (char& c : lowered)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const auto user =
                db->createUser(User{0, lowered, key.encode(email), hash, path,
                                    std::min<std::int64_t>(options.quota, 2147483647)});
            if (!user)
                throw std::runtime_error("the new account could not be stored");
            Answer done = redirect("/" + user->path + "/edit/");
            startSession(user->id, done, session->id);
            return done;
        }
    }
    if (!session)
        session = startSession(0, answer, {});
    const std::string error =
        message.empty() ? std::string() : "<p class=\"error\">" + escapeHtml(message) + "</p>";
    Answer page = htmlAnswer(
        message.empty() ? MHD_HTTP_OK : MHD_HTTP_UNPROCESSABLE_CONTENT, "Make an account",
        error + "<form class=\"fields\" method=\"post\" action=\"/register\">" +
            hiddenField("csrf", session->csrf) +
            "<label>E-mail <input type=\"email\" name=\"email\" required value=\"" +
            escapeHtml(email) +
            "\"></label>"
            "<label>Password <input type=\"password\" name=\"password\" required></label>"
            "<label>Password again <input type=\"password\" name=\"password2\" required></label>"
            "<button type=\"submit\">Make the account</button></form>"
            "<p>Passwords do not tell capitals from small letters.</p>");
    page.headers = answer.headers;
    return page;
}

Answer PhotoSite::Private::signInPage(MHD_Connection* connection, Request& request)
{
    auto session = currentSession(connection);
    Answer answer;
    std::string message;
    std::string email;
    std::string next = query(connection, "next");
    if (request.post) {
        const auto fields = form(connection, request);
        if (!fields || !session || !equalSecrets(formValue(*fields, "csrf"), session->csrf))
            return htmlAnswer(MHD_HTTP_FORBIDDEN, "Sign in",
                              "<p class=\"error\">The form has expired. "
                              "<a href=\"/signin\">Open it again</a>.</p>");
        email = formValue(*fields, "email");
        next = formValue(*fields, "next");
        const auto user =
            authenticate(key.encode(email), key.encode(formValue(*fields, "password")));
        if (user) {
            Answer done = redirect(isLocalReturnPath(next) ? next : "/" + user->path + "/edit/");
            startSession(user->id, done, session->id);
            return done;
        }
        message = refusal;
    }
    if (!session)
        session = startSession(0, answer, {});
    const std::string error =
        message.empty() ? std::string() : "<p class=\"error\">" + escapeHtml(message) + "</p>";
    Answer page = htmlAnswer(
        message.empty() ? MHD_HTTP_OK : MHD_HTTP_FORBIDDEN, "Sign in",
        error + "<form class=\"fields\" method=\"post\" action=\"/signin\">" +
            hiddenField("csrf", session->csrf) + hiddenField("next", next) +
            "<label>E-mail <input type=\"email\" name=\"email\" required value=\"" +
            escapeHtml(email) +
            "\"></label>"
            "<label>Password <input type=\"password\" name=\"password\" required></label>"
            "<button type=\"submit\">Sign in</button></form>"
            "<p>No account yet? <a href=\"/register\">Make one</a>.</p>");
    page.headers = answer.headers;
    return page;
}

Answer PhotoSite::Private::signOut(MHD_Connection* connection, Request& request)
{
    const auto session = currentSession(connection);
    const auto fields = form(connection, request);
    if (!session || !fields || !equalSecrets(formValue(*fields, "csrf"), session->csrf))
        return htmlAnswer(MHD_HTTP_FORBIDDEN, "Sign out", "<p class=\"error\">Not signed out.</p>");
    db->deleteSession(session->id);
    Answer answer = redirect("/");
    answer.headers.emplace_back("Set-Cookie", sessionCookie("", 0));
    return answer;
}

Answer PhotoSite::Private::userPages(MHD_Connection* connection, Request& request,
                                     const std::vector<std::string>& parts)
{
    const Answer notFound =
        htmlAnswer(MHD_HTTP_NOT_FOUND, "Not found", "<p>There is no page here.</p>");
    const auto owner = db->userByPath(parts[0]);
    if (!owner)
        return notFound;
    // Parts after the user's path, without the empty one a closing "/" leaves.
    std::vector<std::string> rest(parts.begin() + 1, parts.end());
    if (!rest.empty() && rest.back().empty())
        rest.pop_back();
    const auto session = currentSession(connection);
    const bool isOwner = session && session->userId == owner->id;
    const auto signIn = [&]() -> Answer {
        if (session && session->userId)
            return htmlAnswer(MHD_HTTP_FORBIDDEN, "Not yours",
                              "<p>This page belongs to another account.</p>");
        return redirect("/signin?next=" + encodeUrlComponent(request.path));
    };

    if (rest.size() == 1 && rest[0] == "edit")
        return isOwner ? userEditPage(connection, request, *owner, *session) : signIn();
    if (rest.empty() || rest.size() > 3)
        return notFound;
    const auto albumId = parseId(rest[0]);
    const auto album = albumId ? db->album(*albumId) : std::nullopt;
    if (!album || album->userId != owner->id)
        return notFound;
    if (rest.size() == 2 && rest[1] == "edit")
        return isOwner ? albumEditPage(connection, request, *owner, *album, *session) : signIn();
    if (request.post)
        return notFound;
    // The album's key in the address lets the family see it without an account.
    const std::string keyQuery = query(connection, "key");
    const bool mayView = isOwner || equalSecrets(keyQuery, album->key);
    if (rest.size() == 1)
        return mayView ? galleryPage(*owner, *album, isOwner ? std::string() : keyQuery) : signIn();
    if (rest.size() != 3)
        return notFound;
    const auto photoId = parseId(rest[1]);
    const auto photo = photoId ? db->photo(*photoId) : std::nullopt;
    if (!photo || photo->albumId != album->id)
        return notFound;
    return mayView ? imageFile(*photo, rest[2]) : signIn();
}

Answer PhotoSite::Private::imageFile(const Photo& photo, const std::string& kind)
{
    const Answer notFound =
        htmlAnswer(MHD_HTTP_NOT_FOUND, "Not found", "<p>There is no picture here.</p>");
    if (imageSize(photo, kind) <= 0)
        return notFound;
    auto file =
        std::make_shared<UniqueFd>(::open(photoFile(photo.id, kind).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info = {};
    unsigned char magic[3] = {};
    const ssize_t got = file->get() >= 0 ? ::pread(file->get(), magic, sizeof magic, 0) : -1;
    const char* type = got > 0 ? imageType(magic, static_cast<std::size_t>(got)) : nullptr;
    if (!type || ::fstat(file->get(), &info) != 0)
        return notFound;
    Answer answer;
    answer.file = std::move(file);
    answer.fileSize = static_cast<std::uint64_t>(info.st_size);
    answer.contentType = type;
    answer.headers.emplace_back("Cache-Control", "private, max-age=3600");
    return answer;
}

Answer PhotoSite::Private::galleryPage(const User& owner, const Album& album,
                                       const std::string& keyQuery)
{
    const std::string base = albumPath(owner, album.id);
    const std::string suffix = keyQuery.empty() ? "" : "?key=" + encodeUrlComponent(keyQuery);
    const auto photos = db->photos(album.id);
    std::string body;
    if (photos.empty())
        body = "<p>This album has no photos yet.</p>";
    body += "<div class=\"grid\">";
    for (const Photo& photo : photos) {
        const std::string at = base + std::to_string(photo.id) + "/";
        const char* small = photo.thumbSize ? "thumb" : photo.displaySize ? "display" : "photo";
        const char* large = photo.displaySize ? "display" : "photo";
        body += "<figure class=\"photo\"><a href=\"" + escapeHtml(at + large + suffix) +
                "\"><img src=\"" + escapeHtml(at + small + suffix) + "\" alt=\"" +
                escapeHtml(photo.fileName) + "\"></a><figcaption>" + escapeHtml(photo.fileName) +
                "</figcaption></figure>";
    }
    body += "</div>";
    return htmlAnswer(MHD_HTTP_OK, album.name, body);
}

Answer PhotoSite::Private::userEditPage(MHD_Connection* connection, Request& request,
                                        const User& owner, const WebSession& session)
{
    std::string message;
    if (request.post) {
        const auto fields = form(connection, request);
        if (!fields || !equalSecrets(formValue(*fields, "csrf"), session.csrf))
            return htmlAnswer(MHD_HTTP_FORBIDDEN, "Your albums",
                              "<p class=\"error\">The form has expired; nothing was changed.</p>");
        const std::string action = formValue(*fields, "action");
        if (action == "create") {
            const std::string name = formValue(*fields, "name");
            if (!isValidAlbumName(name))
                message = "The name of a photo album may contain only letters a-z and A-Z, "
                          "digits 0-9, spaces, \"-\" and \"_\".";
            else
                db->createAlbum(owner.id, name, randomHex(8));
        } else if (action == "ask-delete") {
            // One click must not lose a whole album: a page of its own asks first.
            const auto id = parseId(formValue(*fields, "album"));
            const auto album = id ? db->album(*id) : std::nullopt;
            if (album && album->userId == owner.id)
                return htmlAnswer(
                    MHD_HTTP_OK, "Delete album " + album->name,
                    "<p>Delete the album " + escapeHtml(album->name) + " with its " +
                        photoCount(db->photos(album->id).size()) +
                        " from the site? The photos on your computer stay.</p>"
                        "<form method=\"post\">" +
                        hiddenField("csrf", session.csrf) + hiddenField("action", "delete") +
                        hiddenField("album", std::to_string(album->id)) +
                        "<button type=\"submit\">Delete the album</button> <a href=\"/" +
                        escapeHtml(owner.path) + "/edit/\">Keep it</a></form>");
        } else if (action == "delete") {
            const auto id = parseId(formValue(*fields, "album"));
            const auto album = id ? db->album(*id) : std::nullopt;
            if (album && album->userId == owner.id) {
                // Rows first: a file without a row is tidied away at the next start, a row
                // without its file would stay a broken picture.
                const auto photos = db->photos(album->id);
                db->deleteAlbum(album->id);
                for (const Photo& photo : photos)
                    deletePhotoFiles(photo.id);
            }
        }
        if (message.empty())
            return redirect("/" + owner.path + "/edit/");
    }
    const std::int64_t used = db->usedBytes(owner.id);
    std::string body =
        (message.empty() ? std::string() : "<p class=\"error\">" + escapeHtml(message) + "</p>") +
        "<p>Signed in as " + escapeHtml(owner.email) +
        ". Free space: " + formatBytes(owner.quota - used) + " of " + formatBytes(owner.quota) +
        ".</p><ul>";
    const std::string token = hiddenField("csrf", session.csrf);
    for (const Album& album : db->albums(owner.id)) {
        const std::string at = albumPath(owner, album.id);
        body += "<li><a href=\"" + escapeHtml(at) + "\">" + escapeHtml(album.name) + "</a> (" +
                photoCount(db->photos(album.id).size()) + ") <a href=\"" + escapeHtml(at) +
                "edit/\">Edit</a> <form method=\"post\" style=\"display:inline\">" + token +
                hiddenField("action", "ask-delete") +
                hiddenField("album", std::to_string(album.id)) +
                "<button type=\"submit\">Delete album</button></form></li>";
    }
    body += "</ul><form method=\"post\">" + token + hiddenField("action", "create") +
            "<label>New album <input name=\"name\" maxlength=\"100\" required></label>"
            "<button type=\"submit\">Create</button></form>"
            "<form method=\"post\" action=\"/signout\">" +
            token + "<button type=\"submit\">Sign out</button></form>";
    return htmlAnswer(message.empty() ? MHD_HTTP_OK : MHD_HTTP_UNPROCESSABLE_CONTENT, "Your albums",
                      body);
}

Answer PhotoSite::Private::albumEditPage(MHD_Connection* connection, Request& request,
                                         const User& owner, const Album& album,
                                         const WebSession& session)
{
    const std::string at = albumPath(owner, album.id);
    std::string message;
    if (request.post) {
        const auto fields = form(connection, request);
        if (!fields || !equalSecrets(formValue(*fields, "csrf"), session.csrf))
            return htmlAnswer(MHD_HTTP_FORBIDDEN, "Edit album",
                              "<p class=\"error\">The form has expired; nothing was changed.</p>");
        const std::string action = formValue(*fields, "action");
        if (action == "rename") {
            const std::string name = formValue(*fields, "name");
            if (isValidAlbumName(name))
                db->renameAlbum(album.id, name);
            else
                message = "The name of a photo album may contain only letters a-z and A-Z, "
                          "digits 0-9, spaces, \"-\" and \"_\".";
        } else if (action == "delete") {
            for (const auto& [name, value] : *fields) {
                const auto id = name == "photo" ? parseId(value) : std::nullopt;
                const auto photo = id ? db->photo(*id) : std::nullopt;
                if (photo && photo->albumId == album.id) {
                    db->deletePhoto(photo->id);
                    deletePhotoFiles(photo->id);
                }
            }
        }
        if (message.empty())
            return redirect(at + "edit/");
    }
    const std::string token = hiddenField("csrf", session.csrf);
    std::string body =
        (message.empty() ? std::string() : "<p class=\"error\">" + escapeHtml(message) + "</p>") +
        "<p><a href=\"" + escapeHtml(at) + "\">Gallery</a> &middot; <a href=\"/" +
        escapeHtml(owner.path) +
        "/edit/\">All albums</a></p><p>Address for family and friends: <code>" +
        escapeHtml(siteAddress(connection) + at + "?key=" + album.key) +
        "</code></p><form method=\"post\">" + token + hiddenField("action", "rename") +
        "<label>Name <input name=\"name\" maxlength=\"100\" required value=\"" +
        escapeHtml(album.name) +
        "\"></label><button type=\"submit\">Rename</button></form><form method=\"post\">" + token +
        hiddenField("action", "delete") + "<div class=\"grid\">";
    for (const Photo& photo : db->photos(album.id)) {
        const std::string id = std::to_string(photo.id);
        const char* small = photo.thumbSize ? "thumb" : photo.displaySize ? "display" : "photo";
        body += "<figure><label><img src=\"" + escapeHtml(at + id + "/" + small) + "\" alt=\"" +
                escapeHtml(photo.fileName) + "\"><input type=\"checkbox\" name=\"photo\" value=\"" +
                id + "\"> " + escapeHtml(photo.fileName) + "</label></figure>";
    }
    body += "</div><button type=\"submit\">Delete the ticked photos</button></form>";
    return htmlAnswer(message.empty() ? MHD_HTTP_OK : MHD_HTTP_UNPROCESSABLE_CONTENT,
                      "Edit album " + album.name, body);
}

Answer PhotoSite::Private::errorInfoPage(MHD_Connection* connection)
{
    const std::string program = query(connection, "prg");
    const std::string version = query(connection, "vrs");
    const std::string stage = query(connection, "dbv");
    const std::string code = query(connection, "err");
    std::string advice;
    if (!code.empty() && code[0] == 'S') {
        advice = "The photo site answered with HTTP status " + code.substr(1) + ". ";
        if (code == "S404")
            advice += "Check the SiteHost setting: the address may not be this photo site.";
        else if (code == "S413")
            advice += "The photo is larger than the site accepts; choose a smaller maximum size.";
        else if (code == "S401" || code == "S407")
            advice += "A proxy or the server asked for a user name and password.";
        else
            advice += "Try again later; if it keeps happening, ask whoever runs the site.";
    } else if (!code.empty() && code[0] == 'D') {
        advice = "The program met an unexpected error while it talked to the site. Try again.";
    } else if (code == "6") {
        advice = "The site's host name could not be found: check the SiteHost setting.";
    } else if (code == "7") {
        advice = "The site did not accept the connection: is the photo site running?";
    } else if (code == "28") {
        advice = "The site took too long to answer. Check the network and try again.";
    } else if (code == "35" || code == "60") {
        advice = "The secure connection to the site failed: check its certificate.";
    } else {
        advice = "The connection to the photo site failed. Check the network and the SiteHost "
                 "setting, then try again.";
    }
    return htmlAnswer(MHD_HTTP_OK, "Upload problem",
                      "<p>" + escapeHtml(advice) + "</p><dl><dt>Error</dt><dd>" + escapeHtml(code) +
                          "</dd><dt>Step</dt><dd>" + escapeHtml(stage) +
                          "</dd><dt>Program</dt><dd>" + escapeHtml(program) + " " +
                          escapeHtml(version) + "</dd></dl>");
}

Answer PhotoSite::Private::manualPage(const std::string& path)
{
    const bool haveManual =
        !options.manualFile.empty() && std::filesystem::is_regular_file(options.manualFile);
    if (path == kManualPath) {
        if (!haveManual)
            return htmlAnswer(MHD_HTTP_OK, "Manual",
                              "<p>The manual is not installed beside this photo site. Press F1 "
                              "in Velko Fotodesk to open the copy installed with the program.</p>");
        Answer answer;
        answer.body = readWholeFile(options.manualFile);
        return answer;
    }
    // The manual's pictures, from the folder beside it.
    const auto file = haveManual ? resolveInside(options.manualFile.parent_path(),
                                                 path.substr(std::strlen(kManualFolder)))
                                 : std::nullopt;
    if (!file || !std::filesystem::is_regular_file(*file))
        return htmlAnswer(MHD_HTTP_NOT_FOUND, "Not found", "<p>There is no page here.</p>");
    const std::string extension = file->extension().string();
    Answer answer;
    answer.body = readWholeFile(*file);
    answer.contentType = extension == ".png"                           ? "image/png"
                         : extension == ".jpg" || extension == ".jpeg" ? "image/jpeg"
                         : extension == ".css"                         ? "text/css"
                                                                       : "application/octet-stream";
    return answer;
}

} // namespace photosite
