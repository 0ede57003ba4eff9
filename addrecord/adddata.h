// The add-record window: entry of one new row for the number-range table,
// its checks and its insertion, beside a picture panel that alternates
// between two pictures.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <array>

#include "store/data_connection.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

class adddata : public QWidget {
    Q_OBJECT

public:
    explicit adddata(QWidget *parent = nullptr);
    ~adddata() override;

    // Binds Adodc1 to the store beside the program (without opening it: a
    // missing or damaged store is found by the first OK), puts picture 1 on
    // the panel, starts the picture timer, shows the window and gives the
    // number field the focus.
    void load();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Writes one row from the five fields through the empty result set of the
    // duplicate check, then commits the OK reaction's transaction and says
    // so. Throws store::StoreError; the transaction is then still open.
    void add();
    void onText1KeyPress(int index, int &code);
    void onTimer1Timer();
    void onCommand1Click();
    void showPicture();

    QLabel *const Picture1;  // the alternating picture
    // Label2(0..4), the drop shadows beneath the entry fields, are painted by
    // the window itself (paintEvent), so no screen reader meets them.
    std::array<QLabel *, 5> Label1{};    // captions of the entry fields
    std::array<QLineEdit *, 5> Text1{};  // number, province, city, area code, card
    QPushButton *const Command1;         // "确定(&Y)": check and add the row
    QPushButton *const Command2;         // "取消(&C)": close without writing
    QTimer *const Timer1;                // turns the picture every 1500 ms
    std::array<QPixmap, 2> ImageList1;   // the panel's two pictures
    store::DataConnection Adodc1;        // this window's own connection to the store

    qint16 m_counter = 0;  // the picture on show, 0 or 1
};
