#pragma once

// The two program-wide flags.
// Field definitions changed since the record window opened its records.
extern bool gFieldsChanged;
// The search window moved the record window to a chosen record; skip the next rebuild.
extern bool gRecordPicked;
