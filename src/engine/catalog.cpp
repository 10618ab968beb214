#include "engine/catalog.h"

#include <algorithm>
#include <pwd.h>
#include <unistd.h>

#include "base/edition.h"
#include "base/text.h"
#include "engine/linux_locations.h"
#include "engine/settings_keys.h"
#include "platform/files.h"
#include "platform/settings.h"

namespace bramwick::Catalog {

namespace {

using Kind = Source::Kind;
using Act = CleanAction::Kind;

struct Row {
    const char* id;
    const char* name;
    CategoryGroup group;
    Risk risk;
    Kind kind;
    std::vector<std::string> paths = {};
    std::int64_t minimumBytes = 0;
    Act action;
    const char* symbol;
    const char* summary;
    const char* info;
    const char* advice = "";
};

CleanupCategory make(Row row) {
    CleanupCategory c;
    c.id = row.id;
    c.name = row.name;
    c.summary = row.summary;
    c.info = row.info;
    c.symbol = row.symbol;
    c.group = row.group;
    c.risk = row.risk;
    c.source = Source{row.kind, std::move(row.paths), row.minimumBytes};
    c.action = CleanAction{row.action, row.advice};
    return c;
}

// This platform's Trash is the freedesktop.org one; it stays in "~" form when it lies in the home.
std::string trashFilesFolder() {
    return Text::homeShortened(Edition::dataHome() + "/Trash/files", Edition::home());
}

std::vector<std::string> androidPaths() {
    std::vector<std::string> paths;
    for (const char* root :
         {"/opt/homebrew/share/android-commandlinetools", "~/Library/Android/sdk"})
        for (const char* leaf : {"/ndk", "/system-images", "/emulator"})
            paths.push_back(std::string(root) + leaf);
    return paths;
}

std::vector<CleanupCategory> build() {
    using G = CategoryGroup;
    using R = Risk;
    std::vector<CleanupCategory> rows;
    auto add = [&](Row row) -> CleanupCategory& { return rows.emplace_back(make(std::move(row))); };

    add({.id = "app-caches",
         .name = "Application Caches",
         .group = G::caches,
         .risk = R::safe,
         .kind = Kind::contents,
         .paths = {"~/Library/Caches"},
         .action = Act::delete_,
         .symbol = "shippingbox",
         .summary =
             "Temporary files created by apps. Safe to delete, but apps may recreate them later.",
         .info = "Apps keep downloaded and generated files here so they can start and load faster. "
                 "Everything in it is rebuilt on demand, so an app may feel slower the first time "
                 "you open it afterwards. Quit apps you are using before cleaning, so none of them "
                 "is writing to its cache at the time."});
    add({.id = "dot-cache",
         .name = "Command-Line Tool Cache",
         .group = G::caches,
         .risk = R::safe,
         .kind = Kind::contents,
         .paths = {"~/.cache"},
         .action = Act::delete_,
         .symbol = "terminal",
         .summary = "Downloads cached by command-line tools (~/.cache).",
         .info = "Command-line tools and language toolchains keep downloaded packages and build "
                 "results here. They fetch or rebuild whatever they need the next time you run "
                 "them, which can take a while on a slow connection. Let running builds finish "
                 "before you clean."});
    add({.id = "chrome-cache",
         .name = "Google Chrome Cache",
         .group = G::caches,
         .risk = R::safe,
         .kind = Kind::paths,
         .paths = {"~/Library/Caches/Google"},
         .action = Act::delete_,
         .symbol = "globe",
         .summary = "Web page cache for Chrome and other Google apps.",
         .info =
             "Copies of web pages, images and scripts that Chrome keeps so sites load faster. It "
             "holds no passwords, cookies or history, and Chrome refills it as you browse. Quit "
             "Chrome first; while it runs this category is skipped by the automatic clean."})
        .busyApps = {"com.google.Chrome"};
    add({.id = "google-updater-downloads",
         .name = "Google Updater Downloads",
         .group = G::caches,
         .risk = R::safe,
         .kind = Kind::paths,
         .paths = {"~/Library/Application Support/Google/GoogleUpdater/crx_cache",
                   "~/Library/Application Support/Google/GoogleUpdater/updater.log.old",
                   "~/Library/Application Support/Google/GoogleUpdater/updater_history.jsonl.old"},
         .action = Act::delete_,
         .symbol = "arrow.down.app",
         .summary = "Chrome update packages Google has already downloaded, and old updater logs.",
         .info = "Update packages that Google's updater downloaded and has already installed, and "
                 "the updater's old log files. Chrome keeps working without them; the updater "
                 "downloads again only what a future update needs."});
    add({.id = trashId,
         .name = "Trash",
         .group = G::caches,
         .risk = R::safe,
         .kind = Kind::contents,
         .paths = {trashFilesFolder()},
         .action = Act::delete_,
         .symbol = "trash",
         .summary = "Files you have moved to the Trash.",
         .info = "Cleaning empties the Trash permanently. Anything Bramwick moves to the Trash "
                 "only frees space once this is emptied."})
        .neverAutomatic = true;
    add({.id = "temp",
         .name = "macOS Temp Data",
         .group = G::caches,
         .risk = R::caution,
         .kind = Kind::paths,
         .paths = {"/private/var/folders"},
         .action = Act::reviewOnly,
         .symbol = "folder.badge.minus",
         .summary = "System-managed temporary files (/var/folders).",
         .info = "macOS owns this folder, and apps have files open in it while they run. Deleting "
                 "from here can crash them.",
         .advice = "Restart your Mac \u2014 macOS clears most of this folder at startup."});
    add({.id = "user-logs",
         .name = "System & App Logs",
         .group = G::logs,
         .risk = R::safe,
         .kind = Kind::contents,
         .paths = {"~/Library/Logs"},
         .action = Act::delete_,
         .symbol = "doc.text.magnifyingglass",
         .summary = "Log files used for debugging and diagnostics.",
         .info = "Records that apps write about what they did, mostly useful when something goes "
                 "wrong. Apps start new logs as they run. If you are chasing a problem with an "
                 "app, keep its logs until it is solved."});
    add({.id = "npm",
         .name = "NPM Cache",
         .group = G::developer,
         .risk = R::safe,
         .kind = Kind::paths,
         .paths = {"~/.npm/_cacache", "~/.npm/_npx", "~/.npm/_logs"},
         .action = Act::delete_,
         .symbol = "cube.box",
         .summary = "Cached Node.js packages.",
         .info = "Packages npm has downloaded before, the tools npx fetched, and npm's debug logs. "
                 "Your projects keep their own node_modules, so nothing stops working; the next "
                 "install downloads again what it needs."});
    add({.id = "yarn",
         .name = "Yarn & pnpm Caches",
         .group = G::developer,
         .risk = R::safe,
         .kind = Kind::paths,
         .paths = {"~/Library/Caches/Yarn", "~/.yarn/berry/cache", "~/Library/pnpm/store"},
         .action = Act::delete_,
         .symbol = "cube",
         .summary = "Cached Yarn and pnpm packages.",
         .info = "Package archives that Yarn and pnpm keep so installs are fast and work offline. "
                 "Projects installed with pnpm link into its store, so run pnpm install in them "
                 "afterwards; everything else is downloaded again on the next install."});
    add({.id = "cocoapods",
         .name = "CocoaPods Cache",
         .group = G::developer,
         .risk = R::safe,
         .kind = Kind::paths,
         .paths = {"~/Library/Caches/CocoaPods"},
         .action = Act::delete_,
         .symbol = "leaf",
         .summary = "Cached CocoaPods dependencies.",
         .info = "Downloaded pod sources and specs that CocoaPods reuses between projects. The "
                 "next pod install fetches again whatever a project needs; your projects' own Pods "
                 "folders are not touched."});
    add({.id = "gradle",
         .name = "Gradle Caches",
         .group = G::developer,
         .risk = R::safe,
         .kind = Kind::paths,
         .paths = {"~/.gradle/caches", "~/.gradle/wrapper/dists"},
         .action = Act::delete_,
         .symbol = "cup.and.saucer",
         .summary = "Cached dependencies and build outputs for Gradle.",
         .info = "Libraries, build outputs and Gradle versions downloaded for your Java, Kotlin "
                 "and Android projects. The next build downloads what it needs again, so it will "
                 "be slow once. Stop running Gradle daemons and Android Studio builds first."});
    add({.id = "homebrew",
         .name = "Homebrew Downloads",
         .group = G::developer,
         .risk = R::safe,
         .kind = Kind::contents,
         .paths = {"~/Library/Caches/Homebrew"},
         .action = Act::delete_,
         .symbol = "mug",
         .summary = "Old Homebrew bottles and downloads.",
         .info = "Runs `brew cleanup --prune=all` to remove old versions of installed formulae, "
                 "then deletes the download cache. Homebrew re-downloads what it needs on the next "
                 "install."})
        .alsoRun = std::vector<std::string>{"brew", "cleanup", "--prune=all"};
    add({.id = "project-artifacts",
         .name = "Project Build Folders",
         .group = G::developer,
         .risk = R::caution,
         .kind = Kind::projectArtifacts,
         .paths = {"~/Projects"},
         .action = Act::delete_,
         .symbol = "hammer",
         .summary = "node_modules, Pods, build, .dart_tool and .next inside ~/Projects.",
         .info =
             "All rebuildable, but the project won't build until you restore them \u2014 each "
             "item's note says how (npm install, pod install, flutter pub get\u2026). Symlinked "
             "folders are never followed, so data a link points to on another drive is safe."});
    add({.id = "python-user",
         .name = "Python User Packages",
         .group = G::developer,
         .risk = R::caution,
         .kind = Kind::contents,
         .paths = {"~/Library/Python"},
         .action = Act::trash,
         .symbol = "chevron.left.forwardslash.chevron.right",
         .summary = "Packages installed with pip --user (~/Library/Python).",
         .info = "Python packages you installed for your user account with pip --user, one folder "
                 "per Python version. Scripts that import them stop working until you install them "
                 "again. They go to the Trash, so you can put a folder back if something breaks."});
    add({.id = "derived-data",
         .name = "Xcode Derived Data",
         .group = G::xcode,
         .risk = R::safe,
         .kind = Kind::contents,
         .paths = {"~/Library/Developer/Xcode/DerivedData"},
         .action = Act::delete_,
         .symbol = "hammer.fill",
         .summary = "Intermediate build results and indexes generated by Xcode.",
         .info = "Build products, intermediate files and code indexes for every project Xcode has "
                 "opened. Xcode rebuilds them, so the next build and indexing of each project "
                 "takes longer. Quit Xcode before cleaning."})
        .busyApps = {"com.apple.dt.Xcode"};
    add({.id = "device-support",
         .name = "iOS Device Support",
         .group = G::xcode,
         .risk = R::safe,
         .kind = Kind::contents,
         .paths = {"~/Library/Developer/Xcode/iOS DeviceSupport",
                   "~/Library/Developer/Xcode/watchOS DeviceSupport",
                   "~/Library/Developer/Xcode/tvOS DeviceSupport",
                   "~/Library/Developer/Xcode/visionOS DeviceSupport"},
         .action = Act::delete_,
         .symbol = "iphone.gen3",
         .summary = "Files used to debug apps on iOS devices.",
         .info = "Symbol files Xcode copies from each device and system version you have debugged "
                 "on. Old versions you no longer run are dead weight; Xcode copies them again the "
                 "next time you connect a device with that version. Quit Xcode first."})
        .busyApps = {"com.apple.dt.Xcode"};
    add({.id = "coredevice",
         .name = "iPhone Support Caches",
         .group = G::xcode,
         .risk = R::safe,
         .kind = Kind::paths,
         .paths =
             {"~/Library/Containers/com.apple.CoreDevice.CoreDeviceService/Data/Library/Caches"},
         .action = Act::delete_,
         .symbol = "cable.connector",
         .summary = "CoreDevice caches used when installing to and debugging on an iPhone.",
         .info = "Files the device service keeps while installing apps on a connected iPhone or "
                 "iPad. They are created again the next time you run an app on a device. Quit "
                 "Xcode and disconnect devices first."})
        .busyApps = {"com.apple.dt.Xcode"};
    add({.id = "previews",
         .name = "SwiftUI Previews",
         .group = G::xcode,
         .risk = R::safe,
         .kind = Kind::paths,
         .paths = {"~/Library/Developer/Xcode/UserData/Previews"},
         .action = Act::delete_,
         .symbol = "rectangle.on.rectangle",
         .summary = "Preview simulators created by Xcode canvases.",
         .info = "The simulators and builds behind Xcode's preview canvas. Xcode creates them "
                 "again the next time you open a preview, which makes that first preview slow. "
                 "Quit Xcode first."})
        .busyApps = {"com.apple.dt.Xcode"};
    add({.id = "simulators",
         .name = "Xcode Simulators",
         .group = G::xcode,
         .risk = R::caution,
         .kind = Kind::simulatorDevices,
         .action = Act::command,
         .symbol = "ipad.and.iphone",
         .summary = "Virtual devices used for testing iOS apps.",
         .info = "Each simulated device keeps its own installed apps, data and settings. Deleting "
                 "one removes all of that; you can add a fresh device in Xcode at any time. Shut a "
                 "simulator down before deleting it."});
    add({.id = "sim-runtimes",
         .name = "Simulator Runtimes",
         .group = G::xcode,
         .risk = R::caution,
         .kind = Kind::simulatorRuntimes,
         .action = Act::command,
         .symbol = "square.stack.3d.down.right",
         .summary = "iOS and watchOS system images for the simulator.",
         .info = "The system versions simulators run on, often several gigabytes each. Devices "
                 "that use a deleted runtime stop working until you download it again from Xcode's "
                 "settings. Each item shows when the runtime was last used."});
    add({.id = "archives",
         .name = "Xcode Archives",
         .group = G::xcode,
         .risk = R::danger,
         .kind = Kind::contents,
         .paths = {"~/Library/Developer/Xcode/Archives"},
         .action = Act::trash,
         .symbol = "archivebox",
         .summary = "Archived app builds for distribution.",
         .info = "These may be App Store submissions, and their dSYMs are needed to read crash "
                 "reports. Move old ones to another drive rather than deleting them."});
    add({.id = "android-avd",
         .name = "Android Emulators",
         .group = G::android,
         .risk = R::caution,
         .kind = Kind::contents,
         .paths = {"~/.android/avd"},
         .action = Act::delete_,
         .symbol = "candybarphone",
         .summary = "Virtual devices used for testing Android apps.",
         .info = "Each emulator keeps its disk image, installed apps and snapshots. Deleting one "
                 "removes all of that; you can create a new one in Android Studio's device "
                 "manager. Close running emulators first."});
    add({.id = "android-sdk",
         .name = "Android SDK Extras",
         .group = G::android,
         .risk = R::caution,
         .kind = Kind::paths,
         .paths = androidPaths(),
         .action = Act::delete_,
         .symbol = "wrench.and.screwdriver",
         .summary = "NDK, emulator and system images inside the Android SDK.",
         .info = "The NDK, the emulator and the system images it boots are the biggest parts of "
                 "the Android SDK. Android Studio's SDK manager downloads them again when a "
                 "project needs them. Quit Android Studio and running emulators first."});
    add({.id = "claude-scratchpads",
         .name = "Claude Code Scratchpads",
         .group = G::ai,
         .risk = R::caution,
         .kind = Kind::claudeScratchpads,
         .action = Act::delete_,
         .symbol = "sparkles",
         .summary =
             "Folders left behind by earlier Claude Code sessions (/private/tmp/claude-501).",
         .info =
             "What earlier Claude Code sessions left behind. Their Xcode build folders are counted "
             "separately, under Claude Code Build Folders. Some may hold copies of files that are "
             "not regenerable \u2014 those items are marked, so check you have another copy before "
             "deleting them. Folders used in the last hour may belong to a running session."});
    add({.id = "claude-scratchpad-builds",
         .name = "Claude Code Build Folders",
         .group = G::ai,
         .risk = R::safe,
         .kind = Kind::claudeScratchpadBuilds,
         .action = Act::delete_,
         .symbol = "hammer.circle",
         .summary = "Xcode build folders inside Claude Code scratchpads (scratchpad/dd).",
         .info = "When a Claude Code session builds an app it gives Xcode its own build folder, "
                 "and it stays behind after the session ends \u2014 DerivedData by another name. "
                 "It rebuilds from nothing: the next build of that project is one slow full build, "
                 "and nothing else is lost. Folders built in the last hour are marked, as they may "
                 "belong to a session that is still building. Not part of a scheduled clean for "
                 "that reason; clean it by hand."})
        .neverAutomatic = true;
    add({.id = "codex-updater",
         .name = "Codex Updater Cache",
         .group = G::ai,
         .risk = R::safe,
         .kind = Kind::paths,
         .paths = {"~/Library/Caches/com.openai.codex"},
         .action = Act::delete_,
         .symbol = "arrow.down.circle",
         .summary = "Downloaded Codex app updates.",
         .info = "Update packages the Codex app downloaded and has already installed. The app "
                 "fetches the next update when it needs it. Quit Codex first; while it runs this "
                 "category is skipped by the automatic clean."})
        .busyApps = {"com.openai.codex"};
    add({.id = "codex-runtimes",
         .name = "Codex Runtimes",
         .group = G::ai,
         .risk = R::safe,
         .kind = Kind::paths,
         .paths = {"~/.cache/codex-runtimes"},
         .action = Act::delete_,
         .symbol = "gearshape.2",
         .summary = "Runtimes Codex downloads to run code.",
         .info = "Language runtimes Codex downloads so it can run code for you. It downloads them "
                 "again the next time a task needs one, which makes that task slower to start. "
                 "Quit Codex first."})
        .busyApps = {"com.openai.codex"};
    add({.id = "claude-desktop",
         .name = "Claude Desktop Caches",
         .group = G::ai,
         .risk = R::caution,
         .kind = Kind::paths,
         .paths = {"~/Library/Application Support/Claude/Cache",
                   "~/Library/Application Support/Claude/Code Cache",
                   "~/Library/Application Support/Claude/GPUCache",
                   "~/Library/Application Support/Claude/simulator-builds",
                   "~/Library/Caches/com.anthropic.claudefordesktop.ShipIt"},
         .action = Act::delete_,
         .symbol = "bubble.left.and.text.bubble.right",
         .summary = "Web cache, updater downloads and simulator builds of the Claude app.",
         .info =
             "The Claude app's web and graphics caches, its downloaded updates and the simulator "
             "builds it made. Your conversations are kept by your account, not in these folders. "
             "The app rebuilds its caches as you use it; quit it before cleaning."});
    add({.id = "codex-history",
         .name = "Codex Sessions & Plugins",
         .group = G::ai,
         .risk = R::danger,
         .kind = Kind::contents,
         .paths = {"~/.codex"},
         .action = Act::trash,
         .symbol = "clock.arrow.circlepath",
         .summary = "Your Codex chat history and plugins (~/.codex).",
         .info =
             "Your past Codex sessions, their logs, and the plugins and settings you set up. "
             "Nothing here comes back by itself: a removed session is gone, and plugins must be "
             "installed again. Items go to the Trash; keep config files you want to reuse."});
    add({.id = "applications",
         .name = "Unused Applications",
         .group = G::apps,
         .risk = R::caution,
         .kind = Kind::applications,
         .action = Act::trash,
         .symbol = "square.grid.2x2",
         .summary = "Apps you haven't opened recently, largest first.",
         .info = "Apps not opened for the number of days you choose \u2014 click the number to "
                 "change it. The last-opened date is the latest of macOS's app usage history, "
                 "Spotlight, and when the app's program file was last read. Apps with none of "
                 "those are included too. Apps are moved to the Trash; running apps are marked, so "
                 "quit them first. Bramwick itself is never listed."});
    add({.id = "mail-downloads",
         .name = "Mail Downloads",
         .group = G::apps,
         .risk = R::safe,
         .kind = Kind::contents,
         .paths = {"~/Library/Containers/com.apple.mail/Data/Library/Mail Downloads"},
         .action = Act::delete_,
         .symbol = "envelope",
         .summary = "Attachment copies, originals stay in your mailbox",
         .info =
             "Copies Mail saves when you open or preview an attachment. The original stays in its "
             "message, and Mail saves a new copy the next time you open it. Quit Mail first."})
        .busyApps = {"com.apple.mail"};
    add({.id = "messages",
         .name = "Message Attachments",
         .group = G::apps,
         .risk = R::caution,
         .kind = Kind::contents,
         .paths = {"~/Library/Messages/Attachments"},
         .action = Act::trash,
         .symbol = "message",
         .summary = "Photos and files received via iMessage.",
         .info = "Photos, videos and files sent and received in Messages. Removed attachments no "
                 "longer show in their conversations, unless Messages in iCloud still holds them. "
                 "They go to the Trash, so look through them before you empty it."});
    add({.id = "group-containers",
         .name = "Group Containers",
         .group = G::apps,
         .risk = R::caution,
         .kind = Kind::contents,
         .paths = {"~/Library/Group Containers"},
         .action = Act::trash,
         .symbol = "square.grid.3x3",
         .summary = "Shared data between related apps.",
         .info = "Data that apps from one developer share with each other, such as an app and its "
                 "widgets. For many apps this is their real data, not a copy. Remove a folder only "
                 "for apps you no longer use; it goes to the Trash."});
    add({.id = "app-containers",
         .name = "App Containers",
         .group = G::apps,
         .risk = R::danger,
         .kind = Kind::contents,
         .paths = {"~/Library/Containers"},
         .action = Act::trash,
         .symbol = "cube.transparent",
         .summary = "Sandboxed data for installed apps.",
         .info = "Each sandboxed app keeps all its documents, settings and caches in its own "
                 "container. Removing a container resets that app and can lose work that exists "
                 "nowhere else. Back up the ones you care about and remove only containers of apps "
                 "you have deleted."});
    add({.id = "chrome-profile",
         .name = "Google Chrome Passwords & Sign-ins",
         .group = G::apps,
         .risk = R::caution,
         .kind = Kind::paths,
         .paths = {"~/Library/Application Support/Google"},
         .action = Act::reviewOnly,
         .symbol = "key",
         .summary = "Chrome's saved passwords, sign-in cookies, history, bookmarks and extensions. "
                    "Never deleted here.",
         .info =
             "~/Library/Application Support/Google holds your Chrome profiles \u2014 saved "
             "passwords (Login Data), the cookies that keep you signed in to sites, history, "
             "bookmarks, autofill and extensions \u2014 plus Google's updater, which keeps Chrome "
             "up to date. (The updater's downloaded packages are listed separately under Google "
             "Updater Downloads and are safe to clean.) Deleting it would sign you out of every "
             "site and lose any passwords not synced to your Google account, so Bramwick refuses "
             "to touch it. Google Chrome Cache is the part that is safe to clean.",
         .advice = "Extensions are often the biggest part: remove ones you don't use at "
                   "chrome://extensions. To clear old site data, use Chrome \u2192 Settings \u2192 "
                   "Privacy and security \u2192 Delete browsing data, and leave "
                   "\u201cPasswords\u201d and \u201cCookies and other site data\u201d unticked."})
        .managedBy = ManagedBy{"Chrome", "com.google.Chrome"};
    add({.id = "app-support",
         .name = "Application Support",
         .group = G::apps,
         .risk = R::caution,
         .kind = Kind::contents,
         .paths = {"~/Library/Application Support"},
         .action = Act::reviewOnly,
         .symbol = "wrench.adjustable",
         .summary = "Core data and settings for user apps. Shown for its size only \u2014 Bramwick "
                    "never deletes it.",
         .info = "Settings, databases, licences and downloads for your apps \u2014 for many of "
                 "them this IS the data, not a copy of it, and a folder here is rarely named after "
                 "the app that owns it. Emptying one can lose work that has no other copy and no "
                 "undo beyond the Trash. The safe ways to shrink it are all elsewhere: uninstall "
                 "the app through Unused Applications, which removes its folder with it; or use "
                 "the narrower categories that own a slice of this one, such as Claude Desktop "
                 "Caches and Codex Sessions & Plugins.",
         .advice =
             "Open ~/Library/Application Support in Finder to see what is there. Remove a folder "
             "only when you know which app owns it and you no longer use that app \u2014 or "
             "uninstall the app from Unused Applications, which takes its folder with it."});
    add({.id = "ios-backups",
         .name = "iOS Backups",
         .group = G::apps,
         .risk = R::danger,
         .kind = Kind::contents,
         .paths = {"~/Library/Application Support/MobileSync/Backup"},
         .action = Act::trash,
         .symbol = "iphone.and.arrow.forward",
         .summary = "Local backups of your iPhone or iPad.",
         .info =
             "Full backups of your devices made on this computer. A removed backup cannot restore "
             "a lost or replaced device, so keep the newest one of each device unless it is also "
             "backed up to iCloud. Copy a backup to another drive before removing it."});
    add({.id = "codex-checkouts",
         .name = "Old Codex Project Checkouts",
         .group = G::personal,
         .risk = R::danger,
         .kind = Kind::contents,
         .paths = {"~/Documents/Codex"},
         .action = Act::trash,
         .symbol = "doc.on.doc",
         .summary = "Dated project copies from past Codex sessions (~/Documents/Codex).",
         .info = "Copies of your projects that Codex made for past sessions, one folder per date. "
                 "Changes that were never merged back exist only here. Check each folder before "
                 "removing it; they go to the Trash."});
    add({.id = "large-files",
         .name = "Large Files",
         .group = G::personal,
         .risk = R::caution,
         .kind = Kind::largeFiles,
         .paths = {"~/Downloads", "~/Desktop", "~/Documents", "~/Movies"},
         .minimumBytes = 200'000'000,
         .action = Act::trash,
         .symbol = "doc.zipper",
         .summary = "Files over 200 MB in Downloads, Desktop, Documents and Movies.",
         .info = "Single files of 200 MB or more: disk images, videos, archives and installers you "
                 "may have finished with. Only you can tell whether you still need one, so look at "
                 "each before cleaning. They go to the Trash and free space when you empty it."});
    add({.id = "duplicates",
         .name = "Duplicate Files",
         .group = G::personal,
         .risk = R::caution,
         .kind = Kind::duplicateFiles,
         .paths = personalFolders(),
         .minimumBytes = 1'000'000,
         .action = Act::trash,
         .symbol = "doc.on.doc.fill",
         .summary = "Identical copies, keeping one of each.",
         .info = "Files whose contents match byte for byte, over 1 MB, in Downloads, Desktop, "
                 "Documents, Movies, Pictures and Music. Matched on size, then on the first 64 KB, "
                 "then on a hash of the whole file \u2014 never on the name, so a renamed copy is "
                 "still found. One copy of every file is kept and is never listed here, so "
                 "cleaning everything shown can't remove the last copy of anything. The kept one "
                 "is the oldest, which is usually the original. Photo libraries and other packages "
                 "are left closed, and two hard links to one file are not a duplicate. A large "
                 "duplicate can also appear under Large Files; cleaning it in one place removes it "
                 "from the other at the next scan."});
    add({.id = "repeated-pictures",
         .name = "Duplicate Pictures",
         .group = G::personal,
         .risk = R::caution,
         .kind = Kind::repeatedPictures,
         .paths = personalFolders(),
         .minimumBytes = 100'000,
         .action = Act::trash,
         .symbol = "photo.on.rectangle.angled",
         .summary = "The same picture saved again, keeping the best copy.",
         .info =
             "Pictures over 100 KB that are the same picture saved more than once \u2014 an export "
             "at a different size, a screenshot kept twice, a PNG re-saved as a JPEG, a photo "
             "turned into a page. Duplicate Files cannot find any of these, because changing the "
             "size or the format changes every byte. The best copy is kept and is never listed "
             "here, and \u201cbest\u201d means the most pixels. \n\nThis is NOT a \u201csimilar "
             "pictures\u201d finder. Two pictures count as the same only when their pixels agree: "
             "a copy saved again differs over less than 0.02% of the picture, while two pages of "
             "one report, or two posters differing only in their title, differ over 0.06% to 6.6%. "
             "Anything in between is left alone rather than guessed at, so a burst of photos is "
             "never offered, and photo libraries are never opened."});
    add({.id = "downloads",
         .name = "Downloads Folder",
         .group = G::personal,
         .risk = R::caution,
         .kind = Kind::contents,
         .paths = {"~/Downloads"},
         .action = Act::trash,
         .symbol = "arrow.down.doc",
         .summary = "Everything in ~/Downloads.",
         .info = "Everything you have downloaded and kept: installers, documents, archives. Some "
                 "of it may be the only copy you have, so look through it before cleaning. Items "
                 "go to the Trash."});
    add({.id = "photos",
         .name = "Photos Library",
         .group = G::personal,
         .risk = R::caution,
         .kind = Kind::paths,
         .paths = {"~/Pictures/Photos Library.photoslibrary"},
         .action = Act::reviewOnly,
         .symbol = "photo.on.rectangle",
         .summary =
             "Managed by the Photos app. Shown for its size only \u2014 Bramwick never deletes it.",
         .info =
             "Your photos and videos. Deleting or moving the library in Finder can lose them, so "
             "Bramwick refuses to touch any .photoslibrary. Free space from inside Photos instead.",
         .advice = "In Photos \u2192 Settings \u2192 iCloud, turn on \u201cOptimize Mac "
                   "Storage\u201d to keep full-size originals in iCloud. To move the library to "
                   "another drive, follow Apple's steps in Photos Help."})
        .managedBy = ManagedBy{"Photos", "com.apple.Photos"};
    add({.id = "sim-dyld",
         .name = "Simulator Shared Cache",
         .group = G::system,
         .risk = R::caution,
         .kind = Kind::paths,
         .paths = {"/Library/Developer/CoreSimulator/Caches/dyld"},
         .action = Act::admin,
         .symbol = "memorychip",
         .summary =
             "The simulator's shared library cache (/Library/Developer/CoreSimulator/Caches/dyld).",
         .info = "Owned by root, so macOS asks for your password. Rebuilt the next time a "
                 "simulator boots, which makes that first boot slow."});
    add({.id = "deleted-users",
         .name = "Deleted User Account",
         .group = G::system,
         .risk = R::caution,
         .kind = Kind::contents,
         .paths = {"/Users/Deleted Users"},
         .action = Act::reviewOnly,
         .symbol = "person.crop.circle.badge.xmark",
         .summary = "A leftover home folder from an old account. Shown for its size only \u2014 "
                    "Bramwick never deletes it.",
         .info = "Left behind when a user account was deleted or migrated. It is somebody's whole "
                 "home folder, owned by root, and the one thing in it that matters may be the one "
                 "thing nobody copied out \u2014 so this is measured and reported and never "
                 "cleaned from here. Open /Users/Deleted Users in Finder, take what you want, and "
                 "remove it yourself.",
         .advice = "In Finder, press Shift-Command-G and go to /Users/Deleted Users. Check "
                   "Pictures, Documents and Downloads for anything that was never migrated, then "
                   "delete the folder from Finder \u2014 macOS will ask for your password."});
    LinuxLocations::extend(rows);
    return rows;
}

} // namespace

const std::vector<CleanupCategory>& all() {
    static const std::vector<CleanupCategory> table = build();
    return table;
}

const CleanupCategory* find(std::string_view id) {
    for (const auto& category : all())
        if (category.id == id) return &category;
    return nullptr;
}

const std::unordered_map<std::string, std::string>& claimedPaths() {
    static const std::unordered_map<std::string, std::string> map = [] {
        std::unordered_map<std::string, std::string> claimed;
        for (const auto& category : all()) {
            auto kind = category.source.kind;
            if (kind != Kind::paths && kind != Kind::contents) continue;
            for (const auto& path : category.source.paths)
                claimed[expand(path)] = category.id;
        }
        for (auto& [path, id] : LinuxLocations::claimedElsewhere())
            claimed.try_emplace(path, id);
        return claimed;
    }();
    return map;
}

namespace {
// The claimed patterns, apart, so a lookup only tries these few after the map's own entry.
const std::vector<std::pair<std::string, std::string>>& claimedPatterns() {
    static const std::vector<std::pair<std::string, std::string>> patterns = [] {
        std::vector<std::pair<std::string, std::string>> out;
        for (const auto& [path, id] : claimedPaths())
            if (Files::isPattern(path)) out.emplace_back(path, id);
        std::sort(out.begin(), out.end());
        return out;
    }();
    return patterns;
}
} // namespace

const std::string* claimant(const std::string& path) {
    const auto& claimed = claimedPaths();
    if (auto it = claimed.find(path); it != claimed.end()) return &it->second;
    for (const auto& [pattern, id] : claimedPatterns())
        if (Files::matchesPattern(path, pattern)) return &id;
    return nullptr;
}

std::vector<std::pair<std::string, std::string>> claimedOnDisk() {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& [path, id] : claimedPaths())
        if (!Files::isPattern(path)) out.emplace_back(path, id);
    for (const auto& [pattern, id] : claimedPatterns())
        for (auto& path : Files::matching(pattern))
            out.emplace_back(std::move(path), id);
    return out;
}

std::int64_t unusedAppDays(const Settings& settings) {
    return std::clamp<std::int64_t>(settings.integer(SettingsKeys::unusedAppDays).value_or(100), 1,
                                    maximumUnusedAppDays);
}

std::string expand(std::string_view path) {
    if (path == "~") return Edition::home();
    if (path.starts_with("~/")) return Edition::home() + std::string(path.substr(1));
    if (path.starts_with("~")) {
        auto slash = path.find('/');
        std::string user(path.substr(1, slash == std::string_view::npos ? path.npos : slash - 1));
        std::string rest = slash == std::string_view::npos ? "" : std::string(path.substr(slash));
        long size = sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
        passwd entry{};
        passwd* result = nullptr;
        if (getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
            result && result->pw_dir)
            return std::string(result->pw_dir) + rest;
    }
    return std::string(path);
}

std::string shortFolder(std::string_view path) {
    std::string shown = Text::homeShortened(path, Edition::home());
    std::vector<std::string_view> pieces;
    std::string_view rest = shown;
    while (!rest.empty()) {
        auto slash = rest.find('/');
        auto piece = rest.substr(0, slash);
        if (!piece.empty()) pieces.push_back(piece);
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    if (pieces.size() >= 4)
        return "\u2026/" + std::string(pieces[pieces.size() - 2]) + "/" +
               std::string(pieces.back());
    return shown;
}

const std::vector<std::string>& personalFolders() {
    static const std::vector<std::string> folders{"~/Downloads", "~/Desktop",  "~/Documents",
                                                  "~/Movies",    "~/Pictures", "~/Music"};
    return folders;
}

const std::vector<std::string>& searchedPersonalFolders() {
    return find("duplicates")->source.paths;
}

} // namespace bramwick::Catalog
