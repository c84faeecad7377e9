#pragma once
// A send's progress on the program's entry in the desktop's launcher (Ubuntu's dock, Dash to
// Dock, KDE's task manager, Plank: the docks that read Unity's LauncherEntry interface), as
// the signal com.canonical.Unity.LauncherEntry.Update on the session bus, for the
// application "application://tunelift.desktop". Where there is no session bus there is no
// launcher to tell, and nothing is sent.

#include <QString>
#include <QVariantMap>

namespace tunelift {

inline constexpr char kLauncherAppUri[] = "application://tunelift.desktop";
inline constexpr char kLauncherInterface[] = "com.canonical.Unity.LauncherEntry";
inline constexpr char kLauncherObjectPath[] = "/com/canonical/unity/launcherentry/tunelift";

class LauncherProgress {
public:
  // Shows `done` of the send (0 to 1) on the launcher's entry.
  void Show(double done);
  // Takes the progress off the entry.
  void Hide();

private:
  // Emits the update. The first signal the bus refuses throws tunelift::Error; after it,
  // nothing more is sent, so that the user is told once, not at every step of the send.
  void Update(const QVariantMap& properties);

  bool refused_ = false;
};

}  // namespace tunelift
