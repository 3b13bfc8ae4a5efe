-- The blank data file. Every new data file starts as a copy of it.

-- One row per user field, in the order the fields were made; all four values are text.
CREATE TABLE FieldControl (fieldname TEXT, FieldType TEXT, FieldLength TEXT, FieldValues TEXT);

-- The records. User fields are added as columns later; AUTOINCREMENT so that the id of a
-- deleted record is never given out again.
CREATE TABLE CustomTable (ID INTEGER PRIMARY KEY AUTOINCREMENT);
