// The reference photo site: the program's protocol and the household's web pages, served by
// libmicrohttpd on one internal thread, so the database and the files need no locks.
#pragma once

#include "CredentialKey.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace photosite {

struct SiteOptions
{
    std::string bindAddress = "127.0.0.1";
    int port = 8080;
    std::filesystem::path dataFolder;
    std::string publicHost; // empty: the host the client reached
    std::string tlsCertFile;
    std::string tlsKeyFile;
    std::filesystem::path keyFile;
    std::filesystem::path manualFile;
    std::int64_t quota = 1024LL * 1024 * 1024;
    std::int32_t maxImageBytes = 8 * 1024 * 1024;
};

class PhotoSite
{
public:
    PhotoSite(const SiteOptions& options, upload::CredentialKey key);
    ~PhotoSite();
    PhotoSite(const PhotoSite&) = delete;
    PhotoSite& operator=(const PhotoSite&) = delete;

    // Starts listening; throws std::runtime_error with the reason when it cannot.
    void start();
    // The port actually bound (the one asked for, or the system's choice for 0).
    int port() const;

    struct Private;

private:
    std::unique_ptr<Private> d;
};

} // namespace photosite
