// velko-photosite: the reference photo site a household runs for Velko Fotodesk's uploads.
#include "PhotoSite.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr char kUsage[] =
    "Usage: velko-photosite --data FOLDER [options]\n"
    "\n"
    "Serves the photo site that Velko Fotodesk uploads to: its program requests, the pages\n"
    "where people make an account (/register) and look at and edit their albums.\n"
    "\n"
    "  --data FOLDER        where accounts, albums and photos are kept (made if missing)\n"
    "  --port N             port to listen on (default 8080; 0 lets the system choose)\n"
    "  --host ADDRESS       IP address to listen on (default 127.0.0.1; 0.0.0.0 for the\n"
    "                       whole home network)\n"
    "  --public-host HOST   the host name and port the program sends photos to, when it is\n"
    "                       not the one the program reached the site by (e.g. behind a proxy)\n"
    "  --tls-cert FILE      PEM certificate: serve HTTPS instead of HTTP\n"
    "  --tls-key FILE       PEM private key of that certificate\n"
    "  --quota MB           space of each new account in megabytes (default 1024, at most 2047)\n"
    "  --max-photo MB       largest image the site takes, in megabytes (default 8)\n"
    "  --key FILE           the credential key file (default: the one installed with the\n"
    "                       program, credential-key.txt)\n"
    "  --manual FILE        the manual served at /fotodesk/manual/default.aspx\n"
    "  --help               this text\n"
    "\n"
    "Point the program at it with SiteHost in ~/.config/Velkorp/Fotodesk.conf, for example\n"
    "SiteHost=127.0.0.1:8080 or SiteHost=https://photos.example.org\n";

std::filesystem::path programFolder()
{
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
}

// Beside the program in a build tree, else in the installed data folder.
std::filesystem::path findData(const std::string& relative)
{
    const auto folder = programFolder();
    for (const auto& candidate :
         {folder / relative, folder / ".." / "share" / "velko-fotodesk" / relative}) {
        if (std::filesystem::is_regular_file(candidate))
            return candidate.lexically_normal();
    }
    return {};
}

bool readNumber(const char* text, long long low, long long high, long long& out)
{
    char* end = nullptr;
    errno = 0;
    out = std::strtoll(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && out >= low && out <= high;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "velko-photosite: %s\n", message.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    photosite::SiteOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc)
            return fail("unknown option or missing value: " + name + " (see --help)");
        const char* value = argv[++i];
        long long number = 0;
        if (name == "--data")
            options.dataFolder = value;
        else if (name == "--host")
            options.bindAddress = value;
        else if (name == "--public-host")
            options.publicHost = value;
        else if (name == "--tls-cert")
            options.tlsCertFile = value;
        else if (name == "--tls-key")
            options.tlsKeyFile = value;
        else if (name == "--key")
            options.keyFile = value;
        else if (name == "--manual")
            options.manualFile = value;
        else if (name == "--port" && readNumber(value, 0, 65535, number))
            options.port = static_cast<int>(number);
        else if (name == "--quota" && readNumber(value, 1, 2047, number))
            options.quota = number * 1024 * 1024;
        else if (name == "--max-photo" && readNumber(value, 1, 600, number))
            options.maxImageBytes = static_cast<std::int32_t>(number * 1024 * 1024);
        else
            return fail("bad option or value: " + name + " " + value + " (see --help)");
    }
    if (options.dataFolder.empty())
        return fail("--data FOLDER is needed (see --help)");
    // It goes out as a line of the program's answers.
    for (const char c : options.publicHost) {
        if (c <= ' ' || c == 0x7f)
            return fail("--public-host takes a host name, an optional port and scheme, no spaces");
    }
    if (options.tlsCertFile.empty() != options.tlsKeyFile.empty())
        return fail("--tls-cert and --tls-key go together");
    if (options.keyFile.empty())
        options.keyFile = findData("credential-key.txt");
    if (options.manualFile.empty())
        options.manualFile = findData("Manual/manual.htm");
    std::string error;
    auto key = upload::CredentialKey::load(options.keyFile.string(), &error);
    if (!key)
        return fail("credential key: " + error);

    // The server's thread must not take the stop signals; the main thread waits for them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // A file-size limit makes a write fail, which the site answers, instead of ending it.
    std::signal(SIGXFSZ, SIG_IGN);

    try {
        photosite::PhotoSite site(options, std::move(*key));
        site.start();
        std::printf("velko-photosite: listening on %s%s:%d\n",
                    options.tlsCertFile.empty() ? "http://" : "https://",
                    options.bindAddress.c_str(), site.port());
        std::fflush(stdout);
        int signal = 0;
        sigwait(&stop, &signal);
    } catch (const std::exception& failure) {
        return fail(failure.what());
    }
    return 0;
}
