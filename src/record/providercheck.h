#pragma once

#include <QString>
#include <functional>

class MessageService;

// The check at start-up, before the record window opens its store, that the database engine
// can be used; it talks to the user, so only the engine's own part (store/enginecheck.h) lives
// in the data layer.

// What the provider check touches outside itself, so a test can stand in for both.
struct ProviderServices {
    // Creates (without opening) a connection object; raises a run-time error when it cannot.
    std::function<void()> createConnection;
    // Opens a web page in the user's browser.
    std::function<void(const QString& address)> openPage;

    static ProviderServices standard();
};

// True when connection objects can be created. When the database provider is missing it offers
// to open the download pages, and returns false.
bool CheckProvider(MessageService& messages,
                   const ProviderServices& services = ProviderServices::standard());

QString providerHelpMessage();
