package limetest;

import com.zeph.plex.Sublime;
import com.zeph.plex.sublime.BufferPool;
import java.lang.reflect.Method;
import java.nio.file.Files;
import java.nio.file.Path;

/**
 * The Sublime process for tests: serves limetest.Functions. Prints "READY <id>" once clients
 * can connect and "ENDED" when the request loop is over. Arguments (both optional): an id to
 * publish instead of the process id ("-" for none), and a file whose appearance makes the host
 * call stopProcess.
 */
public final class SublimeHost {
    public static void main(String[] args) throws Exception {
        if (args.length > 0 && !args[0].equals("-")) {
            Sublime.publishId(Integer.parseInt(args[0]));
        }
        Sublime.start();
        System.out.println("READY " + Sublime.id());
        System.out.flush();
        if (args.length > 1) {
            Path stopFile = Path.of(args[1]);
            Thread watcher = new Thread(() -> {
                try {
                    while (!Files.exists(stopFile)) {
                        Thread.sleep(20);
                    }
                    Sublime.stop();
                } catch (InterruptedException e) {
                    Thread.currentThread().interrupt();
                }
            });
            watcher.setDaemon(true);
            watcher.start();
        }
        Sublime.awaitEnd();
        System.out.println("ENDED");
        // A reply after the end must be dropped without touching the pool.
        long freedBefore = BufferPool.freedCount();
        Method returnResult = Sublime.class.getDeclaredMethod("returnResult", byte[].class);
        returnResult.setAccessible(true);
        returnResult.invoke(null, (Object) new byte[] {0, 0, 0, 1, 0, 0, 0, 0});
        System.out.println("LATE REPLY freed " + (BufferPool.freedCount() - freedBefore));
        System.out.flush();
        System.exit(0);
    }
}
