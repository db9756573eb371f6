// Folder names as the user sees them and as the server knows them. The special top-level
// folders INBOX, #public and #backup read "Inbox", "Public Folders" and "Backup Folders"; only
// the first level of a path is looked at, and it must match exactly, case included.
#pragma once

#include <string>

namespace wq {

// Server path to display path: a special first level becomes its display name.
std::string MapServerToDisplay(const std::string& serverPath);

// Display path to server path: a special display name on the first level becomes its server
// name. Every folder name bound for the server passes here before its modified UTF-7 encoding.
std::string MapDisplayToServer(const std::string& displayPath);

// The name the server knows a display path by: mapped to its server path, then encoded in
// modified UTF-7. Every folder name bound for a command goes through here.
std::string ServerFolderName(const std::string& displayPath);

// The icon of a row text in the folder image strip: 1 "Inbox", 2 "Sent Items",
// 3 "Deleted Items", 4 "Drafts" (exact texts), 0 any other folder.
int FolderIcon(const std::string& text);

}  // namespace wq
