// The about box: the program's title, version and designer, and a button that
// starts the operating system's system-information tool.
#pragma once

#include <QDialog>

#include "sysinfo/sysinfo.h"

class QLabel;
class QPushButton;

class About : public QDialog {
    Q_OBJECT

public:
    // platform is where the system-information tool is looked for and
    // started; it must outlive the box.
    explicit About(sysinfo::Platform &platform = sysinfo::systemPlatform(),
                   QWidget *parent = nullptr);
    ~About() override;

    // Fills in the caption, the version, the title and the credit line (the
    // edition recorded in the store beside the program). Run once, before the
    // box is first shown.
    void load();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void StartSysInfo();

    QPushButton *const cmdOK;       // "确定": closes the box (also Esc)
    QPushButton *const cmdSysInfo;  // "系统信息(&S)...": starts the tool
    QLabel *const Image1;           // the picture, scaled into its box
    QLabel *const lblTitle;         // "Plimora"
    QLabel *const lblVersion;       // "版本 " and the version
    QLabel *const lblDisclaimer;    // the edition and sources of the table in sys.dat

    sysinfo::Platform &m_platform;
};
