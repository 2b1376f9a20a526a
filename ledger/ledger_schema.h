#pragma once
// The ledger's file and tables. Every booked change is a row of `changes`; its delivery to
// each sink (the bus accounting server "dbus", a broker "mqtt") is a row of `deliveries`.
// Times are milliseconds since 1970-01-01 UTC; utc_offset_s is the local offset in force
// when the change was booked, so that a time text with its offset can be made again.
//
//   changes(seq INTEGER PRIMARY KEY AUTOINCREMENT, change_id TEXT UNIQUE, booked_at_ms,
//           utc_offset_s, line 1..4, net_num, product TEXT, count_c REAL, count_d REAL)
//   deliveries(seq -> changes.seq, sink TEXT, state, attempts, last_error TEXT,
//              updated_at_ms; PRIMARY KEY(seq, sink))
//
// changes_report holds every column the reports read, so that a month's report or a
// year's chart reads the index alone, in time order (bench/report measures it).
//
// The schema version is PRAGMA user_version; a newer program migrates an older file step
// by step when it opens it.

namespace karvel::ledger {

inline constexpr const char* kFileName = "ledger.db";
inline constexpr int kSchemaVersion = 1;

inline constexpr const char* kSinkDbus = "dbus";
inline constexpr const char* kSinkMqtt = "mqtt";

// Stored values of deliveries.state.
enum class TDeliveryState : int {
    Waiting = 0,
    Delivered = 1,
    SetAside = 2,
    Discarded = 3,
};

// The statements that make a file of version 1 from an empty one.
inline constexpr const char* kCreateV1 = R"sql(
CREATE TABLE IF NOT EXISTS changes(
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  change_id TEXT NOT NULL UNIQUE,
  booked_at_ms INTEGER NOT NULL,
  utc_offset_s INTEGER NOT NULL DEFAULT 0,
  line INTEGER NOT NULL CHECK(line BETWEEN 1 AND 4),
  net_num INTEGER NOT NULL,
  product TEXT NOT NULL,
  count_c REAL NOT NULL,
  count_d REAL NOT NULL);
CREATE TABLE IF NOT EXISTS deliveries(
  seq INTEGER NOT NULL REFERENCES changes(seq),
  sink TEXT NOT NULL,
  state INTEGER NOT NULL DEFAULT 0,
  attempts INTEGER NOT NULL DEFAULT 0,
  last_error TEXT NOT NULL DEFAULT '',
  updated_at_ms INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY(seq, sink)) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS changes_report ON changes(booked_at_ms, product, line, net_num, count_d);
CREATE INDEX IF NOT EXISTS deliveries_pending ON deliveries(sink, state, seq);
)sql";

} // namespace karvel::ledger
