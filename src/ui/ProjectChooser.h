// The chooser of a start from the menu: one file dialog that takes a folder or a file.
// It lists folders and files; Enter, a double-click or "Open" on a folder opens it, and
// "Choose" on a file takes the file. "Choose folder" takes the selected folder, or the
// folder shown when no folder is selected. A typed name that names nothing is refused
// with a beep.
#pragma once
#include <QFileDialog>
#include <QString>

namespace kp::ui {

class ProjectChooser : public QFileDialog {
    Q_OBJECT
public:
    // Opens in startFolder with selected (may be empty) selected.
    ProjectChooser(const QString& startFolder, const QString& selected, QWidget* parent = nullptr);

    // The item chosen, after exec() returned Accepted.
    QString chosen() const { return m_chosen; }

    // Shows the chooser where the last project lies; the chosen path, or empty when the user
    // cancelled.
    static QString choose(const QString& lastProject);

public slots:
    void accept() override;
    void chooseFolder();

private:
    QString selectedPath() const;

    QString m_chosen;
};

} // namespace kp::ui
