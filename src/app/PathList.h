#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// A list file: the paths of documents in order, one full path a line, as
// UTF-8 text (a name that is not UTF-8 keeps its bytes). Reading accepts
// CRLF line ends, a byte-order mark and blank lines, and leaves out lines
// that start with "#". NUL-separated (find -print0) a list holds any name,
// one with a newline too; nothing is then left out but empty entries.
[[nodiscard]] QStringList readPathList(QByteArray data, bool nulSeparated);

// The paths as a list file. One line cannot hold a name with a newline: such
// paths are left out of a list of lines and handed back in leftOut.
[[nodiscard]] QByteArray pathListText(const QStringList &paths, bool nulSeparated,
                                      QStringList *leftOut = nullptr);

// Reads the list file at path ("-": standard input); nothing and why when it
// cannot be read.
[[nodiscard]] std::optional<QStringList> readPathListFile(const QString &path, bool nulSeparated,
                                                          QString *why);
