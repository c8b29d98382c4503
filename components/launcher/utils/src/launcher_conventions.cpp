#include "launcher_conventions.h"

#include "platform/os_family.h"

namespace launcher {

// The template ends with a blank so that the launcher's own arguments, appended to it, become
// separate arguments of the Java command.
const std::string_view kWindowsBuiltInTemplate =
    R"TEMPLATE(%JAVAW%  -classpath '%PLEX_HOME%\toolkit-lib\modules\bootstrap\code\bootstrap.jar;%PLEX_HOME%\toolkit-lib\modules\bootstrap\code\log4j-1.2.15.jar' -Dlog4j.configuration='file:%PLEX_HOME%/toolkit-lib/process/trayhost/conf/log4j.xml' -Dmodules.dir='%PLEX_HOME%/toolkit-lib' -Dprocess=process/trayhost -Dtoolkit.home='%PLEX_HOME%' -Demulator.home='%PLEX_HOME%' -Demulator.lib='%PLEX_HOME%\emulator-lib' -Dsystem.properties='%PLEX_HOME%\toolkit-lib\platform.properties,%PLEX_HOME%\toolkit-lib\modules\bootstrap\conf\system.properties,%PLEX_HOME%\toolkit-lib\generated.properties' -Dobject-server.name=trayhost -Dinit.module=object-server -Droot.object=ObjectServer -Dmodules=tray,process/trayhost,modules/remoting-connector,modules/adapter-stopper-runner,modules/stdin-shutdown -Dlog.dir='${user.home}\.\quorm\3.2\log' -Duser.system.properties='${user.home}/./quorm/3.2/user.system.properties'  -Dapp.name='trayhost' com.zeph.pinewood.toolkit.bootstrap.Container )TEMPLATE";

const std::string_view kPosixBuiltInTemplate =
    R"TEMPLATE(%JAVAW%  -classpath '%PLEX_HOME%/toolkit-lib/modules/bootstrap/code/bootstrap.jar:%PLEX_HOME%/toolkit-lib/modules/bootstrap/code/log4j-1.2.15.jar' -Dlog4j.configuration='file:%PLEX_HOME%/toolkit-lib/process/trayhost/conf/log4j.xml' -Dmodules.dir='%PLEX_HOME%/toolkit-lib' -Dprocess=process/trayhost -Dtoolkit.home='%PLEX_HOME%' -Demulator.home='%PLEX_HOME%' -Demulator.lib='%PLEX_HOME%/emulator-lib' -Dsystem.properties='%PLEX_HOME%/toolkit-lib/platform.properties,%PLEX_HOME%/toolkit-lib/modules/bootstrap/conf/system.properties,%PLEX_HOME%/toolkit-lib/generated.properties' -Dobject-server.name=trayhost -Dinit.module=object-server -Droot.object=ObjectServer -Dmodules=tray,process/trayhost,modules/remoting-connector,modules/adapter-stopper-runner,modules/stdin-shutdown -Dlog.dir='${user.home}/./quorm/3.2/log' -Duser.system.properties='${user.home}/./quorm/3.2/user.system.properties'  -Dapp.name='trayhost' com.zeph.pinewood.toolkit.bootstrap.Container )TEMPLATE";

const LauncherConventions& WindowsConventions() {
    static const LauncherConventions conventions{
        '\\', ';', true, ".exe", ".exe", "java.exe", "javaw.exe", "pkg-toolkit\\bin\\pkg.bat",
        kWindowsBuiltInTemplate, "\r\n", 2000, 260,
    };
    return conventions;
}

// POSIX has one Java launcher for console and windowed programs, a package tool script without
// an extension, and a console in place of the update window: the log stays on screen by itself,
// so there is nothing to linger for.
const LauncherConventions& PosixConventions() {
    static const LauncherConventions conventions{
        '/', ':', false, ".exe", "", "java", "java", "pkg-toolkit/bin/pkg",
        kPosixBuiltInTemplate, "\n", 0, 4095,
    };
    return conventions;
}

const LauncherConventions& HostConventions() {
    return platform::HostOsFamily() == platform::OsFamily::Windows ? WindowsConventions()
                                                                  : PosixConventions();
}

} // namespace launcher
