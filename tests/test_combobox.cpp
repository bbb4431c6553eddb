#include "widgets/CLS_ComboBox.h"

#include <QAbstractItemView>
#include <QJsonObject>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

class TestComboBox : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_pBox = std::make_unique<CLS_ComboBox>();
        connect(m_pBox.get(), &CLS_ComboBox::SigCurrentIndexChanged, this,
                [this](const STRUCT_ComboBoxItem& _structItem) { m_lstSeen.append(_structItem); });
        m_pBox->AddItems({{"1", QJsonObject{{"chNo", 0}}}, {"5", QJsonObject{{"chNo", 4}}}});
        m_lstSeen.clear();
        m_pBox->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pBox.get()));
    }

    // Every change of the current item, whatever made it, carries the item's text and data.
    void currentItemSignalCarriesTextAndData()
    {
        m_pBox->setCurrentIndex(1);
        m_pBox->clear();
        m_pBox->insertItem(0, QString("9"), 42);
        QString qstrSeen;
        for (const STRUCT_ComboBoxItem& structItem : qAsConst(m_lstSeen)) {
            QDebug(&qstrSeen).nospace() << structItem.qstrText << '=' << structItem.variantData << ';';
        }
        QCOMPARE(qstrSeen, QString(R"("5"=QVariant(QJsonObject, QJsonObject({"chNo":4}));)"
                                   R"(""=QVariant(Invalid);"9"=QVariant(int, 42);)"));
    }

    // Typing is reported; a pick list takes no typing, yet an entry can still be picked.
    void typingEmitsTextEdited_unlessPickOnly()
    {
        QSignalSpy spyEdited(m_pBox.get(), &CLS_ComboBox::SigTextEdited);
        m_pBox->lineEdit()->clear();
        m_pBox->lineEdit()->setFocus();
        QTest::keyClicks(m_pBox->lineEdit(), "ab");
        QCOMPARE(spyEdited.last().at(0).toString(), QString("ab"));

        m_pBox->SetEditEnabled(false);
        QTest::keyClicks(m_pBox->lineEdit(), "xyz");
        QCOMPARE(m_pBox->GetCurrentText(), QString("ab"));
        m_pBox->showPopup();
        QAbstractItemView* pView = m_pBox->view();
        QVERIFY(QTest::qWaitForWindowExposed(pView->window()));
        const QRect qrectItem = pView->visualRect(pView->model()->index(1, 0));
        QTest::mouseClick(pView->viewport(), Qt::LeftButton, Qt::NoModifier, qrectItem.center());
        QTRY_COMPARE(m_lstSeen.size(), 1);
        QCOMPARE(m_lstSeen[0].qstrText, QString("5"));
        QCOMPARE(spyEdited.size(), 2);
    }

private:
    std::unique_ptr<CLS_ComboBox> m_pBox;
    QList<STRUCT_ComboBoxItem> m_lstSeen;
};

QTEST_MAIN(TestComboBox)
#include "test_combobox.moc"
