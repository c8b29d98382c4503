package limetest;

import com.zeph.plex.Sublime;
import java.io.BufferedReader;
import java.io.InputStreamReader;

/**
 * The Sublime process for tests: serves limetest.Functions. Prints "READY <id>" once clients
 * can connect, obeys "stop" on standard input, prints "ENDED" when the request loop is over.
 * An optional first argument publishes that id instead of the process id.
 */
public final class SublimeHost {
    public static void main(String[] args) throws Exception {
        if (args.length > 0) {
            Sublime.publishId(Integer.parseInt(args[0]));
        }
        Sublime.start();
        System.out.println("READY " + Sublime.id());
        System.out.flush();
        Thread commands = new Thread(() -> {
            try (BufferedReader in = new BufferedReader(new InputStreamReader(System.in))) {
                for (String line; (line = in.readLine()) != null; ) {
                    if (line.trim().equals("stop")) {
                        Sublime.stop();
                    }
                }
            } catch (Exception e) {
                // Standard input closed: nothing more to obey.
            }
        });
        commands.setDaemon(true);
        commands.start();
        Sublime.awaitEnd();
        System.out.println("ENDED");
        System.out.flush();
        System.exit(0);
    }
}
