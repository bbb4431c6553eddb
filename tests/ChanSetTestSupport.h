// Shared by the channel page tests: the page with prepared devices on the application's settings
// file, and the real streaming library stand-in.
#pragma once

#include "CLS_WgtChanSet/CLS_WgtChanSet.h"
#include "ChannelTestSupport.h"
#include "ModalSupport.h"
#include "TestSupport.h"
#include "common/PublicCommonFun.h"
#include "device/CLS_ThreadCheckAddRemoveDev.h"
#include "widgets/CLS_ComboBox.h"

#include <memory>

inline QVector<STRUCT_ScreenFacts> Screens(int _iCount)
{
    QVector<STRUCT_ScreenFacts> vecFacts;
    for (int i = 0; i < _iCount; ++i) {
        vecFacts.append({QRect(i * 1920, 0, 1920, 1080), 1.0, "HDMI-" + QString::number(i + 1), i == 0});
    }
    return vecFacts;
}

inline QStringList ItemTexts(const QComboBox* _pBox)
{
    QStringList qstrlstText;
    for (int i = 0; i < _pBox->count(); ++i) {
        qstrlstText.append(_pBox->itemText(i));
    }
    return qstrlstText;
}

// The user picks the entry with that text.
inline void Pick(QComboBox* _pBox, const QString& _qstrText)
{
    QVERIFY(_pBox->findText(_qstrText) >= 0);
    _pBox->setCurrentIndex(_pBox->findText(_qstrText));
}

class ChanSetFixture : public QObject
{
protected:
    OrbApplication* App() const { return OrbApplication::Instance(); }

    void ResetWorld()
    {
        camera_business_inspect_reset();
        QFile::remove(App()->GetConfigPath());
        QDir().mkpath(QFileInfo(App()->GetConfigPath()).path());
        m_cameras = FakeCameras();
        m_audio = FakeAudio();
        App()->SetUsbDevs({});
        App()->SetAudioDevs({});
        App()->SetScreenSource([] { return Screens(1); });
        m_pPage.reset();
    }

    void WriteConfig(const QJsonObject& _qjsonConfig)
    {
        QVERIFY(WriteJsonFile(_qjsonConfig, App()->GetConfigPath()));
        QVERIFY(App()->ParseStartParam()); // takes the desktop count from the file
    }

    QJsonArray StoredChannels() const { return App()->ReadConfig().value("chInfo").toArray(); }

    CLS_WgtChanSet* NewPage()
    {
        m_pPage = std::make_unique<CLS_WgtChanSet>();
        m_pPage->SetCameraSource(&m_cameras);
        m_pPage->SetAudioSource(&m_audio);
        return m_pPage.get();
    }

    // Starts the page with its watcher stopped before the thread starts (the page lists cameras
    // while the watcher exists but does not run yet), so that only the test drives device changes.
    void StartPage()
    {
        NewPage();
        m_cameras.m_onList = [this] {
            if (CLS_ThreadCheckAddRemoveDev* pWatcher = m_pPage->GetDevWatcher()) {
                pWatcher->Stop();
            }
        };
        QVERIFY(m_pPage->InitChanSet());
        QVERIFY(m_pPage->GetDevWatcher()->wait(5000));
        m_cameras.m_onList = nullptr;
    }

    QStringList ChooserTexts() const { return ItemTexts(m_pPage->GetChannelChooser()); }

    FakeCameras m_cameras;
    FakeAudio m_audio;
    std::unique_ptr<CLS_WgtChanSet> m_pPage;
};
