#pragma once

#include <QFile>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

// File modes mean nothing to root. While alive, a test run as root acts as the
// unprivileged user "nobody", so that a read-only file or folder is read-only
// for it too; for any other user it changes nothing.
class Unprivileged
{
public:
    static constexpr uid_t Nobody = 65534;

    Unprivileged() : m_wasRoot(geteuid() == 0)
    {
        // Real and effective ids both, since access() checks the real one; the
        // saved id stays root, so that the destructor can return to it.
        if (m_wasRoot)
            m_ok = setresgid(Nobody, Nobody, 0) == 0 && setresuid(Nobody, Nobody, 0) == 0;
    }
    ~Unprivileged()
    {
        if (m_wasRoot && (setresuid(0, 0, 0) != 0 || setresgid(0, 0, 0) != 0))
            qFatal("cannot return to root");
    }
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;

    bool isValid() const { return !m_wasRoot || m_ok; }

    // A mode that lets the unprivileged user into a folder or file the test made.
    static bool setMode(const QString &path, mode_t mode) { return ::chmod(QFile::encodeName(path).constData(), mode) == 0; }

private:
    bool m_wasRoot;
    bool m_ok = true;
};
