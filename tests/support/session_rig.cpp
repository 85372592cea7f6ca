#include "tests/support/session_rig.h"

#include <stdexcept>

#include "app/settings.h"
#include "lock/strong_lock.h"
#include "platform/cp932.h"

namespace kuv::test {

namespace {

AppPaths PathsFor(const std::string& dataPath) {
    // The settings file lies apart from the data folder, so that the data
    // folder's snapshots see entries only.
    return FixedAppPaths(dataPath + ".app");
}

}  // namespace

SessionRig::SessionRig(const std::string& dataPath)
    : session(PathsFor(dataPath), DefaultSettings(PathsFor(dataPath))) {
    session.Settings().DataPath = dataPath;
    session.SetUpperPane(&pane);
    session.SetView(&view);
    session.SetClock([] { return EncodeDateValue(2001, 1, 17) + 0.5; });
}

SessionRig::SessionRig(const AppPaths& paths, const TDiarySettings& settings)
    : session(paths, settings) {
    session.SetUpperPane(&pane);
    session.SetView(&view);
    session.SetClock([] { return EncodeDateValue(2001, 1, 17) + 0.5; });
}

void SessionRig::Show() {
    pane.text = cp932::ToUtf16(session.Upper().text);
}

void SessionRig::Type(const std::string& cp932Text) {
    pane.text = cp932::ToUtf16(cp932Text);
    session.UpperChanged();
}

void SessionRig::Put(const std::string& cp932Text) {
    pane.text = cp932::ToUtf16(cp932Text);
}

SessionRig::Loaded SessionRig::GoTo(TDateTime day) {
    session.GoTo(day);
    Show();
    return Loaded{session.Upper(), session.Lower(), session.StatusLine(), session.DateInserted()};
}

void SessionRig::Save(const std::string& cp932Text) {
    Put(cp932Text);
    session.Save();
}

void PutUnderStrongLock(const std::string& dataPath) {
    lock::KeyFile file;
    lock::DiaryKey key;
    std::string code;
    if (!lock::NewKeyFile("pass", lock::Argon2Params{1, 8192}, file, key.key, code) ||
        !lock::StoreKeyFile(dataPath, file).ok()) {
        throw std::runtime_error("no key file in " + dataPath);
    }
    key.id = file.keyId;
    lock::RememberKey(dataPath, std::move(key));
}

}  // namespace kuv::test
