package impng;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.concurrent.CountDownLatch;
import java.util.jar.Attributes;
import java.util.jar.JarFile;
import javax.microedition.midlet.MIDlet;

/**
 * Starts the program of an application descriptor the way the module's VM does: it reads the
 * JAD (or, given a JAR, its manifest), creates the class named by MIDlet-1 (third field) and
 * calls startApp. The VM ends with
 * status 0 when the MIDlet calls notifyDestroyed, or with status 1 when it cannot be started.
 *
 * Usage: java -cp impng.jar:APP.jar impng.MidletRunner APP.jad|APP.jar
 */
public final class MidletRunner {
    private MidletRunner() {}

    /** Reads "name: value" lines; the first occurrence of a name wins. */
    static Map<String, String> readDescriptor(Path jad) throws IOException {
        Map<String, String> attributes = new LinkedHashMap<>();
        String text = new String(Files.readAllBytes(jad), StandardCharsets.UTF_8);
        for (String line : text.split("\r\n|\r|\n")) {
            int colon = line.indexOf(':');
            if (colon <= 0) {
                continue;
            }
            String name = line.substring(0, colon).trim();
            String value = line.substring(colon + 1).trim();
            attributes.putIfAbsent(name, value);
        }
        return attributes;
    }

    /** The main attributes of a JAR's manifest. */
    static Map<String, String> readManifest(Path jar) throws IOException {
        Map<String, String> attributes = new LinkedHashMap<>();
        try (JarFile file = new JarFile(jar.toFile())) {
            if (file.getManifest() != null) {
                Attributes main = file.getManifest().getMainAttributes();
                for (Map.Entry<Object, Object> entry : main.entrySet()) {
                    attributes.put(entry.getKey().toString(), entry.getValue().toString());
                }
            }
        }
        return attributes;
    }

    /** The class of a MIDlet-n value "name, icon, class". */
    static String midletClass(String midletValue) {
        String[] fields = midletValue.split(",", -1);
        if (fields.length < 3 || fields[2].trim().isEmpty()) {
            return null;
        }
        return fields[2].trim();
    }

    public static void main(String[] args) {
        if (args.length != 1) {
            System.err.println("usage: impng.MidletRunner APP.jad|APP.jar");
            System.exit(1);
        }
        Map<String, String> attributes;
        try {
            Path path = Path.of(args[0]);
            attributes = args[0].toLowerCase().endsWith(".jar") ? readManifest(path) : readDescriptor(path);
        } catch (IOException e) {
            System.err.println("impng: cannot read " + args[0] + ": " + e.getMessage());
            System.exit(1);
            return;
        }
        String midlet1 = attributes.get("MIDlet-1");
        String className = midlet1 == null ? null : midletClass(midlet1);
        if (className == null) {
            System.err.println("impng: no MIDlet-1 class in " + args[0]);
            System.exit(1);
            return;
        }
        CountDownLatch destroyed = new CountDownLatch(1);
        MIDlet.installLifecycle(new MIDlet.Lifecycle() {
            @Override
            public String property(String key) {
                return attributes.get(key);
            }

            @Override
            public void destroyed() {
                destroyed.countDown();
            }

            @Override
            public void paused() {}
        });
        MIDlet midlet;
        try {
            Class<?> type = Class.forName(className);
            midlet = (MIDlet) type.getDeclaredConstructor().newInstance();
            MIDlet.start(midlet);
        } catch (Exception | LinkageError e) {
            System.err.println("impng: cannot start " + className + ": " + e);
            System.exit(1);
            return;
        }
        try {
            destroyed.await();
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
        System.out.flush();
        System.exit(0);
    }
}
