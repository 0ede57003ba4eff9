// The lookup window: the number entry, the search and its result, and the
// three labels along the bottom that serve as the program's menu.
#pragma once

#include <QPointer>
#include <QWidget>
#include <array>

#include "store/data_connection.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // Brings the store beside the program up to the edition its folder ships
    // (lookup::upgradeTable(), which may tell the user what it did), checks
    // that the store file is there and binds Adodc1 to it. Returns false when
    // it is missing (and could not be made): the user has been told and the
    // window has been closed. Nothing is read from the store for the lookups
    // yet.
    bool load();

private:
    void Search();
    void onText1KeyPress(int &code);
    void onText1Change();
    void onCommand1Click();
    void onLabel1MouseMove(int index);
    void onBackgroundMouseMove();
    void onLabel1Click(int index);
    void refuseShortNumber();
    void showResult(int index, const QString &text);
    void openAddRecord();
    void openAbout();

    QLabel *const Label2;                // the title banner
    QLabel *const Label3;                // "手机号码", caption of the entry field
    QLineEdit *const Text1;              // the number being looked up
    QPushButton *const Command1;         // "&Search"
    QGroupBox *const Frame1;             // "信息", holds the results
    std::array<QLabel *, 3> Label4{};    // captions of the results
    std::array<QLineEdit *, 3> Text2{};  // place, area code, card information
    std::array<QLabel *, 3> Label1{};    // menu: 软件信息, 退出程序, 添加数据
    store::DataConnection Adodc1;        // this window's own connection to the store

    QPointer<QWidget> m_addRecord;  // the add-record window while it is open
    QPointer<QWidget> m_about;      // the about box while it is open
};
