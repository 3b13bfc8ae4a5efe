#pragma once

#include <QString>

// What of a server's address must never be kept or shown: the secrets libpq takes in it (a
// password, a key's passphrase), in both its forms, "key=value ..." and the URI.

// The first secret parameter the address gives a value ("password" also for the URI's
// "user:password@"), or the empty text when it gives none.
QString secretIn(const QString& address);

// The text with every secret of a server address in it masked: the URI's password and the
// value of each secret parameter, in addresses libpq takes and in broken ones alike. With the
// address the text speaks of, that address's secrets are also masked where they stand alone
// (libpq quotes a part of a broken address by itself).
QString maskSecrets(const QString& text, const QString& address = QString());
