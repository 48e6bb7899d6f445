#pragma once

#include "exam/answerkey.h"
#include "exam/examclock.h"
#include "exam/examstate.h"

#include <QMainWindow>

#include <array>

class QAction;
class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;

namespace platform {
class Label;
class MciPlayer;
class StateFile;
class TabControl;
} // namespace platform

// The exam window: the reading pane, the answer sheet and the column of buttons for the clock,
// the score and the pass rate. Each handler is one user action or one timer tick; the controls
// and the clock are the window's only state. Given a state file, it writes the ticks and the
// clock there at every change, and removes the file when it closes.
//
// The design's names are kept as C++ names; moc cannot read them, so the window has no
// Q_OBJECT and connects its handlers with member-function pointers.
class ExamWindow : public QMainWindow
{
public:
    explicit ExamWindow(QWidget *parent = nullptr);
    ~ExamWindow() override;

    static QString designName();

    void cmdスタート_Click();
    void tmr時間_Timer();
    void cmd得点_Click();
    void cmd合格率_Click();
    void mnuExit_Click();
    void mnuAbout_Click();

    void PlaySound();

    // Where the clock reads the time: the wall clock in milliseconds since the epoch, and a clock
    // that never steps (see ExamClock). Tests inject their own.
    void setTimeSources(exam::TimeSource wall, exam::TimeSource elapsed);

    // The sitting's length, shown at Start as "h:mm"; 80 minutes unless set.
    void setSittingMinutes(int minutes);

    // Takes up an exam that an earlier run left behind: its length, its ticks and, if its clock
    // was started, the clock, which runs on if time is left and otherwise shows "0:00", stopped.
    // A time-up that passed while no program ran is announced now, once, as at "0:00".
    void resume(const exam::SavedExam &saved);

    // From now on every tick, Start, Score and step of the clock is written to `file`; closing
    // removes it and lets it go.
    void saveTo(platform::StateFile *file);

    // Writes the state now, if there is a file to write it to.
    void save();

    // The remaining time.
    qint16 RemainHours = 0;
    qint16 RemainMinutes = 0;
    qint16 RemainSeconds = 0;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // The program's folder, ending in "/".
    static QString ProgramFolder();

    void buildLeftColumn(QWidget *client);
    void buildReadingPane(QWidget *client);
    void buildAnswerSheet(QWidget *client);
    void buildMenus();

    exam::Ticks ticks() const;

    QPushButton *cmdスタート = nullptr;
    QPushButton *cmd得点 = nullptr;
    QPushButton *cmd合格率 = nullptr;
    platform::Label *lbl秒 = nullptr;
    platform::Label *lbl得点 = nullptr;
    platform::TabControl *SSTab1 = nullptr;
    platform::TabControl *SSTab2 = nullptr;
    platform::MciPlayer *MMControl1 = nullptr;
    QTimer *tmr時間 = nullptr;
    std::array<std::array<QCheckBox *, exam::MaxChoices>, exam::SlotCount> chk国語 {};
    std::array<QLabel *, exam::SlotCount> pctマル {};

    exam::ExamClock m_clock;
    // Start pressed and Score not since: the clock runs or has run out.
    bool m_clockStarted = false;
    platform::StateFile *m_stateFile = nullptr;
    // The chime beside the program; the folder cannot change while it runs.
    QString m_chimeFile;
};
