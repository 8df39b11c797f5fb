// Holds a write lock on a SQLite file for the locked-database tests, as another program would.
// Usage: corvina_lockholder <database> [milliseconds]
// Begins an immediate transaction, inserts a row into Reps, prints "locked", then waits
// until a line arrives on stdin or stdin closes (or, given milliseconds, that long), rolls
// back and exits.

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

int failWith(sqlite3 *db, const char *step)
{
    std::fprintf(stderr, "lockholder: %s: %s\n", step, sqlite3_errmsg(db));
    sqlite3_close(db);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: corvina_lockholder <database> [milliseconds]\n");
        return 2;
    }
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return failWith(db, "open");
    sqlite3_busy_timeout(db, 5000);
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return failWith(db, "begin");
    if (sqlite3_exec(db, "INSERT INTO Reps (ListID, Rep, Name) VALUES ('held', 'held', 'held')",
                     nullptr, nullptr, nullptr) != SQLITE_OK)
        return failWith(db, "insert");

    std::puts("locked");
    std::fflush(stdout);

    if (argc == 3) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
    } else {
        char line[64];
        static_cast<void>(std::fgets(line, sizeof line, stdin));
    }

    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}
