// The demo account: enough folders, rights, aliases and rules to show every feature.
#include <string>
#include <vector>

#include "qorvad.h"

namespace qorvad {

namespace {

// Rules in the form the library writes them: a marker line per rule, "# " before every line of
// a switched-off rule.
constexpr const char* kDemoScript =
    "#!1 Orders\n"
    "if header :contains \"Subject\" \"order\" \n"
    " {\n"
    "  fileinto \"INBOX/Orders\";\n"
    "}\n"
    "#!1 Boss\n"
    "if address :all :contains \"From\" \"boss@example.com\" \n"
    " {\n"
    "  redirect \"deputy@example.com\";\n"
    "  stop;\n"
    "}\n"
    "#!0 Junk\n"
    "# if header :contains \"Subject\" \"offer\" \n"
    "#  {\n"
    "#   fileinto \"Junk\";\n"
    "# }\n"
    "#!1 Big mail\n"
    "if size :over 1048576\n"
    " {\n"
    "  discard;\n"
    "}\n"
    "#!1 Vacation\n"
    "if header :is \"To\" \"demo@example.com\" \n"
    " {\n"
    "  vacation :subject \"Mimo kancel\xc3\xa1\xc5\x99\" \"Jsem pry\xc4\x8d do "
    "pond\xc4\x9bl\xc3\xad.\";\n"
    "}\n";

std::string message(const std::string& from, const std::string& subject) {
    return "From: " + from + "\r\nTo: demo@example.com\r\nSubject: " + subject +
           "\r\n\r\nThis is a demo message.\r\n";
}

}  // namespace

void Mailstore::createDemo() {
    const std::string user = "demo";
    removeUser(user);
    removeUser("anna");
    addUser(user, "demo");
    addUser("anna", "anna");

    const std::string accounts = mutf7Encode("\xc3\x9a\xc4\x8dty");                  // "Účty"
    const std::string notices = "#public/" + mutf7Encode("Ozn\xc3\xa1men\xc3\xad");  // "Oznámení"

    for (const std::string& name : {std::string("#public/Support"), std::string("#public/Projects"),
                                    notices, std::string("#backup/2024")}) {
        removeFolder("", name);
    }

    addFolder(user, "INBOX/Orders");
    addFolder(user, "INBOX/Work");
    addFolder(user, "INBOX/Work/2024");
    addFolder(user, "Sent Items");
    addFolder(user, "Drafts");
    addFolder(user, "Deleted Items");
    addFolder(user, "Junk");
    addFolder(user, accounts);
    addFolder(user, accounts + "/Faktury");
    addFolder(user, "Projects", true, false);
    addFolder(user, "Projects/Alpha");
    addFolder(user, "Archive", false, true);
    addFolder("", "#public", true, false);
    addFolder("", "#public/Support");
    addFolder("", "#public/Projects");
    addFolder("", notices);
    addFolder("", "#backup", true, false);
    addFolder("", "#backup/2024");
    addFolder("anna", "INBOX/Family");

    addMessage(user, "INBOX", message("boss@example.com", "Quarterly report"), {"\\Seen"});
    addMessage(user, "INBOX", message("shop@example.com", "Your order 1042"));
    addMessage(user, "INBOX", message("spam@example.net", "Special offer"), {"\\Deleted"});
    addMessage(user, "INBOX", message("anna@example.com", "Lunch?"), {"\\Seen", "\\Flagged"});
    addMessage(user, "INBOX/Orders", message("shop@example.com", "Order 1041 shipped"));
    addMessage(user, "INBOX/Orders", message("shop@example.com", "Order 1040 shipped"), {"\\Seen"});
    addMessage("", "#public/Support", message("customer@example.org", "Help needed"));

    setAcl(user, "INBOX", "anna", "lr");
    setAcl(user, "INBOX", "[staff]", "lrs");
    setAcl(user, "INBOX/Work", "anna", "lrswi");
    setAcl("", "#public/Support", user, kAllRights);
    setAcl("", "#public/Support", "anyone", "lrsp");
    setAcl("", "#public/Projects", user, kAllRights);
    setAcl("", "#public/Projects", "anna", "lrswipcd");
    setAcl("", "#public/Projects", "anyone", "lr");
    setAcl("", notices, user, kAllRights);
    setAcl("", notices, "anyone", "lr");
    setAcl("", "#backup/2024", user, kAllRights);

    setAlias(user, "sales", "~INBOX/Orders");
    setAlias(user, "support", "#public/Support");
    setAlias(user, "info", "~INBOX");
    setAlias(user, "accounts", "~" + accounts);
    setAlias("anna", "family", "~INBOX/Family");

    setScript(user, kDemoScript);
    setScript("anna", "#!1 Keep\nif true \n {\n  keep;\n}\n");
}

}  // namespace qorvad
