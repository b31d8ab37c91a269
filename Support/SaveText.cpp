#include "Support/SaveText.h"

#include <QSaveFile>

#include "model/BattleFile.h"

QString SaveTextAtomically(const QString& path, const std::string& text)
{
    QSaveFile file(path);
    // The text goes out through the descriptor, which tells a short write and
    // why (a buffered write cut short by a full disk is flushed by the commit,
    // which then reports success for a truncated file, Qt 6.4).
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return file.errorString();
    if (const std::string failed = WriteAllTo(file.handle(), text); !failed.empty()) {
        file.cancelWriting();
        return QString::fromStdString(failed);
    }
    if (!file.commit()) return file.errorString();
    return {};
}
