#include "SiteDatabase.h"

#include <sqlite3.h>

#include <stdexcept>

namespace photosite {

namespace {

// One prepared statement, finalised when it goes out of scope.
class Statement
{
public:
    Statement(sqlite3* db, const char* sql) : mDb(db)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &mStmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(mStmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, std::int64_t value)
    {
        sqlite3_bind_int64(mStmt, index, value);
        return *this;
    }
    Statement& bind(int index, const std::string& value)
    {
        sqlite3_bind_text(mStmt, index, value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    // True while a row is there; throws on an error other than a broken constraint.
    bool step()
    {
        const int rc = sqlite3_step(mStmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        if ((rc & 0xff) == SQLITE_CONSTRAINT)
            throw std::invalid_argument(sqlite3_errmsg(mDb));
        throw std::runtime_error(sqlite3_errmsg(mDb));
    }
    std::int64_t integer(int column) { return sqlite3_column_int64(mStmt, column); }
    std::string text(int column)
    {
        const auto* data = sqlite3_column_text(mStmt, column);
        return data ? std::string(reinterpret_cast<const char*>(data),
                                  static_cast<std::size_t>(sqlite3_column_bytes(mStmt, column)))
                    : std::string();
    }

private:
    sqlite3* mDb;
    sqlite3_stmt* mStmt = nullptr;
};

constexpr char kUserColumns[] =
    "SELECT id, email, email_key, password_hash, path, quota FROM users ";

User readUser(Statement& s)
{
    return User{s.integer(0), s.text(1), s.text(2), s.text(3), s.text(4), s.integer(5)};
}

Album readAlbum(Statement& s)
{
    return Album{s.integer(0), s.integer(1), s.text(2), s.text(3)};
}

Photo readPhoto(Statement& s)
{
    return Photo{s.integer(0),
                 s.integer(1),
                 s.text(2),
                 s.integer(3),
                 s.integer(4),
                 s.integer(5),
                 static_cast<int>(s.integer(6)),
                 static_cast<int>(s.integer(7))};
}

} // namespace

SiteDatabase::SiteDatabase(const std::string& file)
{
    if (sqlite3_open_v2(file.c_str(), &mDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        const std::string why = mDb ? sqlite3_errmsg(mDb) : "out of memory";
        sqlite3_close(mDb);
        throw std::runtime_error("cannot open " + file + ": " + why);
    }
    exec("PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON;"
         "CREATE TABLE IF NOT EXISTS users(id INTEGER PRIMARY KEY, email TEXT NOT NULL,"
         " email_key TEXT NOT NULL UNIQUE, password_hash TEXT NOT NULL,"
         " path TEXT NOT NULL UNIQUE, quota INTEGER NOT NULL);"
         "CREATE TABLE IF NOT EXISTS albums(id INTEGER PRIMARY KEY,"
         " user_id INTEGER NOT NULL REFERENCES users(id), name TEXT NOT NULL, key TEXT NOT NULL);"
         "CREATE TABLE IF NOT EXISTS photos(id INTEGER PRIMARY KEY,"
         " album_id INTEGER NOT NULL REFERENCES albums(id) ON DELETE CASCADE,"
         " file_name TEXT NOT NULL, main_size INTEGER NOT NULL, display_size INTEGER NOT NULL,"
         " thumb_size INTEGER NOT NULL, width INTEGER NOT NULL, height INTEGER NOT NULL);"
         "CREATE TABLE IF NOT EXISTS sessions(id TEXT PRIMARY KEY, user_id INTEGER NOT NULL,"
         " csrf TEXT NOT NULL, expires INTEGER NOT NULL);");
}

SiteDatabase::~SiteDatabase()
{
    sqlite3_close(mDb);
}

void SiteDatabase::exec(const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(mDb, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string why = message ? message : "unknown error";
        sqlite3_free(message);
        throw std::runtime_error(why);
    }
}

SiteDatabase::Transaction::Transaction(SiteDatabase& db) : mDb(db)
{
    mDb.exec("BEGIN IMMEDIATE");
}

SiteDatabase::Transaction::~Transaction()
{
    if (mOpen)
        sqlite3_exec(mDb.mDb, "ROLLBACK", nullptr, nullptr, nullptr);
}

void SiteDatabase::Transaction::commit()
{
    mDb.exec("COMMIT");
    mOpen = false;
}

std::optional<User> SiteDatabase::createUser(const User& user)
{
    Statement s(mDb, "INSERT INTO users(email, email_key, password_hash, path, quota)"
                     " VALUES(?, ?, ?, ?, ?)");
    s.bind(1, user.email).bind(2, user.emailKey).bind(3, user.passwordHash).bind(4, user.path);
    s.bind(5, user.quota);
    try {
        s.step();
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
    return userById(sqlite3_last_insert_rowid(mDb));
}

std::optional<User> SiteDatabase::userByEmailKey(const std::string& key)
{
    Statement s(mDb, (std::string(kUserColumns) + "WHERE email_key = ?").c_str());
    s.bind(1, key);
    return s.step() ? std::optional(readUser(s)) : std::nullopt;
}

std::optional<User> SiteDatabase::userByPath(const std::string& path)
{
    Statement s(mDb, (std::string(kUserColumns) + "WHERE path = ?").c_str());
    s.bind(1, path);
    return s.step() ? std::optional(readUser(s)) : std::nullopt;
}

std::optional<User> SiteDatabase::userById(std::int64_t id)
{
    Statement s(mDb, (std::string(kUserColumns) + "WHERE id = ?").c_str());
    s.bind(1, id);
    return s.step() ? std::optional(readUser(s)) : std::nullopt;
}

bool SiteDatabase::pathTaken(const std::string& path)
{
    return userByPath(path).has_value();
}

std::vector<Album> SiteDatabase::albums(std::int64_t userId)
{
    Statement s(mDb, "SELECT id, user_id, name, key FROM albums WHERE user_id = ? ORDER BY id");
    s.bind(1, userId);
    std::vector<Album> out;
    while (s.step())
        out.push_back(readAlbum(s));
    return out;
}

std::optional<Album> SiteDatabase::album(std::int64_t id)
{
    Statement s(mDb, "SELECT id, user_id, name, key FROM albums WHERE id = ?");
    s.bind(1, id);
    return s.step() ? std::optional(readAlbum(s)) : std::nullopt;
}

Album SiteDatabase::createAlbum(std::int64_t userId, const std::string& name,
                                const std::string& key)
{
    Statement s(mDb, "INSERT INTO albums(user_id, name, key) VALUES(?, ?, ?)");
    s.bind(1, userId).bind(2, name).bind(3, key);
    s.step();
    return Album{sqlite3_last_insert_rowid(mDb), userId, name, key};
}

void SiteDatabase::renameAlbum(std::int64_t id, const std::string& name)
{
    Statement s(mDb, "UPDATE albums SET name = ? WHERE id = ?");
    s.bind(1, name).bind(2, id);
    s.step();
}

void SiteDatabase::deleteAlbum(std::int64_t id)
{
    Statement s(mDb, "DELETE FROM albums WHERE id = ?");
    s.bind(1, id);
    s.step();
}

std::vector<Photo> SiteDatabase::photos(std::int64_t albumId)
{
    Statement s(mDb, "SELECT id, album_id, file_name, main_size, display_size, thumb_size, width,"
                     " height FROM photos WHERE album_id = ? ORDER BY id");
    s.bind(1, albumId);
    std::vector<Photo> out;
    while (s.step())
        out.push_back(readPhoto(s));
    return out;
}

std::optional<Photo> SiteDatabase::photo(std::int64_t id)
{
    Statement s(mDb, "SELECT id, album_id, file_name, main_size, display_size, thumb_size, width,"
                     " height FROM photos WHERE id = ?");
    s.bind(1, id);
    return s.step() ? std::optional(readPhoto(s)) : std::nullopt;
}

std::int64_t SiteDatabase::addPhoto(const Photo& photo)
{
    Statement s(mDb, "INSERT INTO photos(album_id, file_name, main_size, display_size,"
                     " thumb_size, width, height) VALUES(?, ?, ?, ?, ?, ?, ?)");
    s.bind(1, photo.albumId).bind(2, photo.fileName).bind(3, photo.mainSize);
    s.bind(4, photo.displaySize).bind(5, photo.thumbSize).bind(6, photo.width);
    s.bind(7, photo.height);
    s.step();
    return sqlite3_last_insert_rowid(mDb);
}

void SiteDatabase::deletePhoto(std::int64_t id)
{
    Statement s(mDb, "DELETE FROM photos WHERE id = ?");
    s.bind(1, id);
    s.step();
}

std::int64_t SiteDatabase::usedBytes(std::int64_t userId)
{
    Statement s(mDb, "SELECT COALESCE(SUM(p.main_size + p.display_size + p.thumb_size), 0)"
                     " FROM photos p JOIN albums a ON p.album_id = a.id WHERE a.user_id = ?");
    s.bind(1, userId);
    s.step();
    return s.integer(0);
}

void SiteDatabase::saveSession(const WebSession& session, std::int64_t expires, std::int64_t now)
{
    {
        Statement old(mDb, "DELETE FROM sessions WHERE expires < ?");
        old.bind(1, now);
        old.step();
    }
    Statement s(mDb, "INSERT OR REPLACE INTO sessions(id, user_id, csrf, expires)"
                     " VALUES(?, ?, ?, ?)");
    s.bind(1, session.id).bind(2, session.userId).bind(3, session.csrf).bind(4, expires);
    s.step();
}

std::optional<WebSession> SiteDatabase::session(const std::string& id, std::int64_t now)
{
    Statement s(mDb, "SELECT id, user_id, csrf FROM sessions WHERE id = ? AND expires > ?");
    s.bind(1, id).bind(2, now);
    if (!s.step())
        return std::nullopt;
    return WebSession{s.text(0), s.integer(1), s.text(2)};
}

void SiteDatabase::deleteSession(const std::string& id)
{
    Statement s(mDb, "DELETE FROM sessions WHERE id = ?");
    s.bind(1, id);
    s.step();
}

} // namespace photosite
