#include "store/store.h"

#include "store/access1.h"

Store::Store(const QString& connectionString, const QString& localDataFile)
    : m_connectionString(connectionString), m_localDataFile(localDataFile),
      m_idle(std::make_shared<IdleEngines>()) {}

Store Store::dataFile(const QString& path) {
    return Store(ConnectionString(path), path);
}

Store Store::server(const QString& address) {
    return Store(ServerConnectionString(address), QString());
}

std::unique_ptr<Connection> Store::open(int mode) const {
    auto connection = std::make_unique<Connection>();
    connection->setMode(mode);
    connection->Open(m_connectionString, m_idle);
    return connection;
}
