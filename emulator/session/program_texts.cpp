#include "session/program_texts.h"

#include "core/log.h"

void PrintUsage(const char* programName) {
    LogPrint(LogChannel::Out, "\nUsage: %s [<options>] <class>\n\n"
             "       Run the MIDlet given in <class> from the classpath.\n\n"
             "Options include:\n"
             "    -version                Show version info and exit\n"
             "    -help                   Show this message and exit\n"
             "    -classpath <path>       Directories and zip files to search for classes\n"
             "    -Xdescriptor:<jad-file> Run application using the specified application\n"
             "                            descriptor file\n"
             "    -Xquery                 Query supported devices and device options\n"
             "    -Xdevice:<device name>  Name of the device to be emulated\n\n"
             "with these debugging options:\n"
             "    -Xdebug\n"
             "    -Xrunjdwp:[transport=<transp.>,address=<addr>,suspend=<y/n>,server=<y/n>]\n"
             "                            Debugging options, transport must be \"dt_socket\"\n"
             "                            (default), server must be \"y\" (default)\n"
             "    -Xverbose:<level>       There is no verbosity level used inside the\n"
             "                            emulator itself, this parameter defines the\n"
             "                            verbosity level of the debug agent which can be\n"
             "                            \"-v 1\" ... \"-v 9\"\n"
             "    -noload                 Suppress downloading of Jar and Jad files\n"
             "    -udpport:<port>         The port used for output of MIDlet \"System.out\"\n"
             "                            inside Java IDE. This setting can also be altered\n"
             "                            via the \"%s\". Setting this\n"
             "                            parameter via the command line overwrites a\n"
             "                            possible setting in the ini file.\n\n",
             programName != nullptr ? programName : "", IniFileName);
}
