'''KDE Plasma's shell, taking the scripts it is sent; with "locked" it refuses them as a shell
with locked widgets does.'''
BUS_NAME = 'org.kde.plasmashell'
MAIN_OBJ = '/PlasmaShell'
MAIN_IFACE = 'org.kde.PlasmaShell'
SYSTEM_BUS = False


def load(mock, parameters):
    refuse = ("raise dbus.exceptions.DBusException('Widgets are locked', "
              "name='org.freedesktop.DBus.Error.Failed')")
    mock.AddMethod(MAIN_IFACE, 'evaluateScript', 's', '', refuse if parameters.get('locked') else '')
