package zdp;

import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.net.InetAddress;
import java.net.InetSocketAddress;
import java.net.ServerSocket;
import java.net.Socket;

/**
 * A debug agent for the sample toolkit: it listens for the IDE's debugger and relays the JDWP
 * byte stream to the Java VM in the module, unchanged in both directions. It serves one debugger
 * and ends when either side closes its connection.
 *
 * Command line: [-b ADDRESS] -l PORT -p -r HOST PORT [-v LEVEL] -cp CLASSPATH
 * The debugger is served on the loopback address unless -b names another local address. The
 * class path is accepted for compatibility; a plain relay needs no class files.
 */
public final class ZetaDebugProxy {
    private static int verbose = 0;

    private ZetaDebugProxy() {}

    public static void main(String[] args) {
        int listenPort = -1;
        String bindAddress = null;
        String remoteHost = null;
        int remotePort = -1;
        try {
            for (int i = 0; i < args.length; i++) {
                switch (args[i]) {
                    case "-l":
                        listenPort = parsePort(args[++i]);
                        break;
                    case "-p":
                        break;
                    case "-b":
                        bindAddress = args[++i];
                        break;
                    case "-r":
                        remoteHost = args[++i];
                        remotePort = parsePort(args[++i]);
                        break;
                    case "-v":
                        // The level is optional: "-v" alone means level 1.
                        verbose = 1;
                        if (i + 1 < args.length && args[i + 1].matches("\\d+")) {
                            verbose = Integer.parseInt(args[++i]);
                        }
                        break;
                    case "-cp":
                        ++i;
                        break;
                    default:
                        if (args[i].startsWith("-v") && args[i].substring(2).matches("\\d+")) {
                            verbose = Integer.parseInt(args[i].substring(2));
                        } else {
                            usage("unknown argument: " + args[i]);
                        }
                }
            }
        } catch (ArrayIndexOutOfBoundsException e) {
            usage("an option lacks its value");
        } catch (NumberFormatException e) {
            usage("not a port number: " + e.getMessage());
        }
        if (listenPort < 0 || remoteHost == null || remotePort < 0) {
            usage("-l and -r are required");
        }
        System.exit(run(bindAddress, listenPort, remoteHost, remotePort));
    }

    private static int parsePort(String text) {
        int port = Integer.parseInt(text.trim());
        if (port < 0 || port > 65535) {
            throw new NumberFormatException(text);
        }
        return port;
    }

    private static void usage(String problem) {
        System.err.println("zdp: " + problem);
        System.err.println("usage: zdp.ZetaDebugProxy [-b ADDRESS] -l PORT -p -r HOST PORT [-v LEVEL] -cp CLASSPATH");
        System.exit(2);
    }

    static void trace(int level, String text) {
        if (verbose >= level) {
            System.out.println("zdp: " + text);
            System.out.flush();
        }
    }

    private static int run(String bindAddress, int listenPort, String remoteHost, int remotePort) {
        Socket debugger;
        try (ServerSocket server = new ServerSocket()) {
            server.setReuseAddress(true);
            InetAddress address = bindAddress == null ? InetAddress.getLoopbackAddress()
                                                      : InetAddress.getByName(bindAddress);
            server.bind(new InetSocketAddress(address, listenPort), 1);
            trace(1, "waiting for the debugger on port " + server.getLocalPort());
            debugger = server.accept();
        } catch (IOException e) {
            System.err.println("zdp: cannot serve the debugger: " + e.getMessage());
            return 1;
        }
        trace(1, "debugger attached from " + debugger.getRemoteSocketAddress());
        Socket vm = connectToVm(remoteHost, remotePort);
        if (vm == null) {
            close(debugger);
            return 1;
        }
        trace(1, "connected to the VM at " + remoteHost + ":" + remotePort);
        Thread up = pump(debugger, vm, "debugger -> VM");
        Thread down = pump(vm, debugger, "VM -> debugger");
        up.start();
        down.start();
        join(up);
        join(down);
        trace(1, "debug session ended");
        return 0;
    }

    // The module's VM may still be starting, so the first connection is retried for a while.
    private static Socket connectToVm(String host, int port) {
        long deadline = System.currentTimeMillis() + 20000;
        IOException last = null;
        while (System.currentTimeMillis() < deadline) {
            Socket socket = new Socket();
            try {
                socket.connect(new InetSocketAddress(host, port), 2000);
                socket.setTcpNoDelay(true);
                return socket;
            } catch (IOException e) {
                last = e;
                close(socket);
                try {
                    Thread.sleep(200);
                } catch (InterruptedException ignored) {
                    Thread.currentThread().interrupt();
                    break;
                }
            }
        }
        System.err.println("zdp: cannot reach the VM at " + host + ":" + port
                + (last != null ? ": " + last.getMessage() : ""));
        return null;
    }

    // Copies one direction; when it ends, both sockets are closed so the other direction ends too.
    private static Thread pump(Socket from, Socket to, String name) {
        return new Thread(() -> {
            byte[] buffer = new byte[8192];
            try {
                InputStream in = from.getInputStream();
                OutputStream out = to.getOutputStream();
                int n;
                while ((n = in.read(buffer)) > 0) {
                    out.write(buffer, 0, n);
                    out.flush();
                    trace(2, name + ": " + n + " bytes");
                }
            } catch (IOException e) {
                trace(1, name + ": " + e.getMessage());
            } finally {
                close(from);
                close(to);
            }
        }, name);
    }

    private static void join(Thread thread) {
        try {
            thread.join();
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }

    private static void close(Socket socket) {
        try {
            socket.close();
        } catch (IOException ignored) {
            // Nothing more to do with a socket that will not close.
        }
    }
}
