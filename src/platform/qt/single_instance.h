// One windowed program per user: the first launch listens on a local socket, and a later one
// hands its request ("reopen", and "--window" when given) to it and ends, so two programs never
// write one settings file at once.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

namespace bramwick {

class SingleInstance : public QObject {
    Q_OBJECT

  public:
    // `name` is the socket's name; by default one per user and home folder. The socket lives in
    // the user's runtime folder ($XDG_RUNTIME_DIR), else in the settings file's folder, so that
    // launches with different temporary folders meet.
    explicit SingleInstance(QString name = defaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // This user's socket name: the application id, the user id and a digest of the home folder
    // (a test or a sandbox with a home of its own runs beside the user's program).
    static QString defaultName();

    // True when this is the first program: it listens from now on. False when another one
    // runs: `request` was handed to it (when it could not be delivered, the answer is still
    // false, so that the second program ends rather than write beside the first).
    bool claim(const QStringList& request);
    // Stops listening and removes the socket, as the end of a run must: a program that ends
    // without running its destructors calls it first.
    void leave();
    // The socket's path (the name alone when it lives in the temporary folder).
    QString address() const;

  signals:
    // A later launch handed over its request.
    void received(const QStringList& request);

  private:
    // Whether a program listening at name_ took the request.
    bool handOver(const QStringList& request);
    // Listens at name_, in place of a socket nobody answers at.
    bool listen();
    void accept();

    QString name_;
    QLocalServer server_;
};

} // namespace bramwick
