#pragma once

#include "import/importcommand.h"

struct AppPaths;
class DatabaseSource;
class MessageService;

// At start-up, before the data file is opened: when the data file is an Access database (Jet 3,
// Jet 4 or ACE), asks whether to import it. Yes: a new data file is made from the template and
// filled, and the Access file is kept beside it under a name that says what it is, unchanged.
// No, Cancel or a failure: nothing is touched, and opening the data file refuses it as before.
void offerAccessImport(const AppPaths& paths, MessageService& messages, const LongWorkRunner& run);

// The import after Yes, from the database already opened. A database holding FieldControl and
// CustomTable gives its field definitions as they are and its records with their ids; of any
// other, each table is offered for import. Returns false when nothing was changed.
bool replaceAccessDataFile(const AppPaths& paths, MessageService& messages, DatabaseSource& source,
                           const LongWorkRunner& run);
