// The site's accounts, albums, photos and web sessions, kept in one SQLite file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace photosite {

struct User
{
    std::int64_t id = 0;
    std::string email;
    std::string emailKey; // the e-mail as the program scrambles it: how logins find the account
    std::string passwordHash;
    std::string path;
    std::int64_t quota = 0;
};

struct Album
{
    std::int64_t id = 0;
    std::int64_t userId = 0;
    std::string name;
    std::string key;
};

struct Photo
{
    std::int64_t id = 0;
    std::int64_t albumId = 0;
    std::string fileName;
    std::int64_t mainSize = 0;
    std::int64_t displaySize = 0;
    std::int64_t thumbSize = 0;
    int width = 0;
    int height = 0;
};

struct WebSession
{
    std::string id;
    std::int64_t userId = 0; // 0 before signing in
    std::string csrf;
};

class SiteDatabase
{
public:
    // Opens or creates the file; throws std::runtime_error when that fails.
    explicit SiteDatabase(const std::string& file);
    ~SiteDatabase();
    SiteDatabase(const SiteDatabase&) = delete;
    SiteDatabase& operator=(const SiteDatabase&) = delete;

    // nullopt when the e-mail key or the path is taken.
    std::optional<User> createUser(const User& user);
    std::optional<User> userByEmailKey(const std::string& key);
    std::optional<User> userByPath(const std::string& path);
    std::optional<User> userById(std::int64_t id);
    bool pathTaken(const std::string& path);

    std::vector<Album> albums(std::int64_t userId);
    std::optional<Album> album(std::int64_t id);
    Album createAlbum(std::int64_t userId, const std::string& name, const std::string& key);
    void renameAlbum(std::int64_t id, const std::string& name);
    void deleteAlbum(std::int64_t id);

    std::vector<Photo> photos(std::int64_t albumId);
    std::optional<Photo> photo(std::int64_t id);
    std::int64_t addPhoto(const Photo& photo);
    void deletePhoto(std::int64_t id);
    std::int64_t usedBytes(std::int64_t userId);

    // Rolls back unless committed: a photo's row and its files come into being together.
    class Transaction
    {
    public:
        explicit Transaction(SiteDatabase& db);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        void commit();

    private:
        SiteDatabase& mDb;
        bool mOpen = true;
    };

    // Also drops the sessions that ended before now.
    void saveSession(const WebSession& session, std::int64_t expires, std::int64_t now);
    std::optional<WebSession> session(const std::string& id, std::int64_t now);
    void deleteSession(const std::string& id);

private:
    void exec(const char* sql);

    sqlite3* mDb = nullptr;
};

} // namespace photosite
