'''The desktop portal's Wallpaper interface: keeps the file it is handed (Received() gives it and
the options back) and answers the request with "response" (0 done, 1 cancelled; none: never, and
the request's Close() shows among the portal's own calls).'''
import os

import dbus
import dbus.lowlevel
from gi.repository import GLib
from dbusmock import MOCK_IFACE

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.Wallpaper'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.response = parameters.get('response')
    mock.received = (b'', {})


@dbus.service.method(MAIN_IFACE, in_signature='sha{sv}', out_signature='o', sender_keyword='sender')
def SetWallpaperFile(self, parent_window, fd, options, sender):
    with os.fdopen(fd.take(), 'rb') as picture:
        self.received = (picture.read(), options)
    # The request's path, as xdg-desktop-portal builds it from the caller and its token.
    handle = (f'/org/freedesktop/portal/desktop/request/{sender[1:].replace(".", "_")}/'
              f'{options["handle_token"]}')
    if self.response is not None:
        def answer():
            response = dbus.lowlevel.SignalMessage(handle, 'org.freedesktop.portal.Request',
                                                   'Response')
            response.append(dbus.UInt32(self.response), dbus.Dictionary({}, signature='sv'))
            self.connection.send_message(response)
        GLib.timeout_add(50, answer)  # after the reply, as the real portal answers later
    else:
        self.AddObject(handle, 'org.freedesktop.portal.Request', {},
                       [('Close', '', '', lambda _: self.call_log.append((0, 'Close', [])))])
    return handle


@dbus.service.method(MOCK_IFACE, out_signature='aya{sv}')
def Received(self):
    return dbus.ByteArray(self.received[0]), self.received[1]
