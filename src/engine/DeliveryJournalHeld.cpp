// The delivery journal's memory of what each scale holds, for sending only what changed: the
// hash of the record each scale last accepted per department and PLU number, and each scale's
// last full send.
#include "engine/DeliveryJournal.h"
#include "engine/SqliteHelpers.h"

#include <cstring>

namespace ostrel {

using sqlite::bindText;
using sqlite::columnText;
using sqlite::isInteger;
using sqlite::Use;

HeldRecords DeliveryJournal::heldRecords(const std::string& scale)
{
    HeldRecords held;
    Statement statement = prepare("SELECT department, plu, hash FROM held_record WHERE scale = ?1");
    if (!statement) {
        return held;
    }
    bindText(statement.get(), 1, scale);
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
        sqlite3_stmt* row = statement.get();
        Sha256Digest digest{};
        // A row it never writes is no record the scale is known to hold: it gets it again.
        if (!isInteger(row, 0) || !isInteger(row, 1) ||
            sqlite3_column_type(row, 2) != SQLITE_BLOB ||
            sqlite3_column_bytes(row, 2) != static_cast<int>(digest.size())) {
            continue;
        }
        std::memcpy(digest.data(), sqlite3_column_blob(row, 2), digest.size());
        held[{sqlite3_column_int(row, 0), sqlite3_column_int64(row, 1)}] = digest;
    }
    return held;
}

void DeliveryJournal::holdRecord(const std::string& scale, const HeldKey& key,
                                 const Sha256Digest& digest, std::int64_t acceptedAt)
{
    Use use(m_hold.get());
    bindText(*use, 1, scale);
    sqlite3_bind_int(*use, 2, key.department);
    sqlite3_bind_int64(*use, 3, key.pluNumber);
    sqlite3_bind_blob(*use, 4, digest.data(), static_cast<int>(digest.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(*use, 5, acceptedAt);
    step(*use);
}

void DeliveryJournal::forgetRecord(const std::string& scale, const HeldKey& key)
{
    Use use(m_forget.get());
    bindText(*use, 1, scale);
    sqlite3_bind_int(*use, 2, key.department);
    sqlite3_bind_int64(*use, 3, key.pluNumber);
    step(*use);
}

std::optional<DeliveryJournal::ScaleState> DeliveryJournal::scaleState(const std::string& scale)
{
    Statement statement =
        prepare("SELECT last_full_day, model, version FROM scale_state WHERE scale = ?1");
    if (!statement) {
        return std::nullopt;
    }
    bindText(statement.get(), 1, scale);
    if (sqlite3_step(statement.get()) != SQLITE_ROW || !isInteger(statement.get(), 0)) {
        return std::nullopt;
    }
    return ScaleState{sqlite3_column_int64(statement.get(), 0), columnText(statement.get(), 1),
                      columnText(statement.get(), 2)};
}

void DeliveryJournal::recordFullSend(const std::string& scale, const ScaleState& state)
{
    Statement statement = prepare("INSERT OR REPLACE INTO scale_state(scale, last_full_day, "
                                  "model, version) VALUES(?1, ?2, ?3, ?4)");
    if (!statement) {
        noteWriteFailure("cannot prepare the scale state");
        return;
    }
    bindText(statement.get(), 1, scale);
    sqlite3_bind_int64(statement.get(), 2, state.lastFullDay);
    bindText(statement.get(), 3, state.model);
    bindText(statement.get(), 4, state.version);
    step(statement.get());
}

} // namespace ostrel
