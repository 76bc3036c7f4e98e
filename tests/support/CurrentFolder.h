#pragma once
// Runs a test in a folder of its own: the current folder (where the program looks for its tables) while the
// object lives, the earlier one again on every way out of the test.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace qv::test {

class ScopedCurrentFolder {
 public:
  ScopedCurrentFolder() : previous_(QDir::currentPath()) {
    entered_ = folder_.isValid() && QDir::setCurrent(folder_.path());
  }
  ~ScopedCurrentFolder() { QDir::setCurrent(previous_); }
  ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
  ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

  // False when the folder could not be made or entered: the test must not go on.
  bool entered() const { return entered_; }
  QString path() const { return folder_.path(); }

  // Writes a file of the folder whole; false when it could not.
  static bool write(const QString& name, const QByteArray& bytes) {
    QFile f(name);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
  }

 private:
  QTemporaryDir folder_;
  const QString previous_;
  bool entered_ = false;
};

}  // namespace qv::test
