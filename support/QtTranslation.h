#pragma once
// Qt's own texts in Japanese: the buttons and labels of the standard dialogs
// (file dialogs, message box buttons) follow the programs' language. Call
// once in main(), after the application object is made.
namespace support {

// Installs Qt's Japanese translation (qtbase_ja from Qt's translations
// folder, package qt6-translations-l10n). False when it is not installed;
// Qt's dialogs then stay in English.
bool installQtJapaneseTranslation();

}  // namespace support
