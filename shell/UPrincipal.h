#pragma once

#include <QMainWindow>

class QAction;
class QMenu;
class QTimer;

// The main window: maximised, the hotel picture as background, the main menu
// from which every function is reached, and a fade-in from fully transparent.
class TFPrincipal : public QMainWindow
{
    Q_OBJECT

public:
    explicit TFPrincipal(QWidget *parent = nullptr);

    // The layered-window state of the fade-in: alpha from 0 to 255, and whether
    // the window is still transparent at all.
    int AlphaBlendValue() const { return m_alpha; }
    bool AlphaBlend() const { return m_alphaBlend; }
    QTimer *Timer1;

    QMenu *MainMenu1Hotel;
    QMenu *MainMenu1Huespedes;
    QMenu *MainMenu1Reservas;
    QMenu *MainMenu1Estadias;
    QMenu *MainMenu1Consultas;
    QMenu *MainMenu1Reportes;
    QAction *Salir1;

    QAction *AdministrarTiposdeHabitacin1;
    QAction *AdministrarHabitaciones1;
    QAction *AdministrarServicios1;
    QAction *DatosdelHotel1;
    QAction *AdministrarHuspedes1;
    QAction *ListadodeReservas1;
    QAction *AgregarReserva1;
    QAction *AdministrarEstadas1;
    QAction *AsignarHabitacin1;
    QAction *EstadiasdeunHuesped1;
    QAction *HabitacionesmasPedidas1;
    QAction *ListadodeServicios1;
    QAction *ListadodeHabitacionesporTipo1;
    // After the described items of their menus.
    QAction *PlanilladeOcupacion1;
    QAction *LlegadasySalidas1;

public slots:
    void Timer1Timer();
    void AdministrarTiposdeHabitacin1Click();
    void AdministrarHabitaciones1Click();
    void AdministrarServicios1Click();
    void DatosdelHotel1Click();
    void AdministrarHuspedes1Click();
    void ListadodeReservas1Click();
    void AgregarReserva1Click();
    void AdministrarEstadas1Click();
    void AsignarHabitacin1Click();
    // Shared by both queries items: shows the page whose number is the item's tag.
    void ConsultasClick(QAction *Sender);
    void ListadodeServicios1Click();
    void ListadodeHabitacionesporTipo1Click();
    void PlanilladeOcupacion1Click();
    // Asks for the day, then previews its arrivals and departures.
    void LlegadasySalidas1Click();
    void Salir1Click();

private:
    void FormCreate();
    QAction *item(QMenu *menu, const QString &caption, int icon, int tag);
    // Runs a menu handler under the guard.
    void wire(QAction *action, void (TFPrincipal::*handler)());

    int m_alpha = 0;
    bool m_alphaBlend = true;
};

extern TFPrincipal *FPrincipal;
