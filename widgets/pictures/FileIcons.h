#pragma once

class QAbstractFileIconProvider;

// Icons and type names for the program's file dialogs, told from a file's name
// alone. Qt's own provider sniffs each listed file's contents to learn its type,
// which opens and closes the file; closing any descriptor of the database file
// drops every lock SQLite holds on it, so no dialog may read files that way.
namespace FileIcons {

// One provider for the whole program; it lives until the program ends.
QAbstractFileIconProvider *withoutContents();

} // namespace FileIcons
