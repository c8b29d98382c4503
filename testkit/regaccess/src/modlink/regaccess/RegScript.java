package modlink.regaccess;

import com.zeph.pinewood.toolkit.util.regaccess.NativeException;
import com.zeph.pinewood.toolkit.util.regaccess.WindowsRegistry;

import java.io.BufferedReader;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;

/**
 * Runs the registry natives from a script, one call a line, and prints one result line per
 * call, so that tests can drive the library from a real JVM and compare plain text.
 *
 * A line is a method name without its trailing 0 followed by its arguments, separated by
 * single spaces: view root path, then the method's own. Tokens: {@code <null>} is null,
 * {@code <empty>} the empty string; in text {@code ^s} is a space, {@code ^0} a zero character,
 * {@code ^uXXXX} a UTF-16 code unit, {@code ^^} a caret, and {@code ^rN:text} the text repeated
 * N times. {@code @a|b|c} is a String array ({@code @} alone an empty one), {@code #0aff} a
 * byte array in hex and {@code #*N} N bytes counting 0, 1, 2, ... modulo 251.
 *
 * Results: {@code ok} for void, true/false, numbers, quoted text in the same escapes, arrays in
 * brackets, bytes in hex (or {@code #len=N,sum=S} when long); {@code ! message} for a
 * NativeException and {@code !! Class: message} for anything else thrown.
 */
public final class RegScript {
    public static void main(String[] args) throws IOException {
        List<String> lines = Files.readAllLines(Paths.get(args[0]), StandardCharsets.UTF_8);
        StringBuilder out = new StringBuilder();
        for (String line : lines) {
            if (line.isEmpty() || line.startsWith("//")) {
                continue;
            }
            out.append(run(line.split(" ", -1))).append('\n');
        }
        System.out.print(out);
        System.out.flush();
    }

    static String run(String[] t) {
        try {
            return call(t);
        } catch (NativeException e) {
            return "! " + e.getMessage();
        } catch (Throwable e) {
            return "!! " + e.getClass().getName() + ": " + e.getMessage();
        }
    }

    static String call(String[] t) throws NativeException {
        String command = t[0];
        if (command.equals("IsWow64Process")) {
            return String.valueOf(WindowsRegistry.IsWow64Process0());
        }
        int view = number(t[1]);
        int root = number(t[2]);
        String path = text(t[3]);
        switch (command) {
            case "checkKeyAccess":
                return String.valueOf(WindowsRegistry.checkKeyAccess0(view, root, path, bool(t[4])));
            case "valueExists":
                return String.valueOf(WindowsRegistry.valueExists0(view, root, path, text(t[4])));
            case "keyEmpty":
                return String.valueOf(WindowsRegistry.keyEmpty0(view, root, path));
            case "countSubKeys":
                return String.valueOf(WindowsRegistry.countSubKeys0(view, root, path));
            case "countValues":
                return String.valueOf(WindowsRegistry.countValues0(view, root, path));
            case "getSubkeyNames":
                return show(WindowsRegistry.getSubkeyNames0(view, root, path));
            case "getValueNames":
                return show(WindowsRegistry.getValueNames0(view, root, path));
            case "getValueType":
                return String.valueOf(WindowsRegistry.getValueType0(view, root, path, text(t[4])));
            case "createKey":
                WindowsRegistry.createKey0(view, root, path, text(t[4]));
                return "ok";
            case "deleteKey":
                WindowsRegistry.deleteKey0(view, root, path, text(t[4]));
                return "ok";
            case "deleteValue":
                WindowsRegistry.deleteValue0(view, root, path, text(t[4]));
                return "ok";
            case "getStringValue":
                return show(WindowsRegistry.getStringValue0(view, root, path, text(t[4]), bool(t[5])));
            case "setStringValue":
                WindowsRegistry.setStringValue0(view, root, path, text(t[4]), text(t[5]), bool(t[6]));
                return "ok";
            case "get32BitValue":
                return String.valueOf(WindowsRegistry.get32BitValue0(view, root, path, text(t[4])));
            case "set32BitValue":
                WindowsRegistry.set32BitValue0(view, root, path, text(t[4]), number(t[5]));
                return "ok";
            case "getMultiStringValue":
                return show(WindowsRegistry.getMultiStringValue0(view, root, path, text(t[4])));
            case "setMultiStringValue":
                WindowsRegistry.setMultiStringValue0(view, root, path, text(t[4]), texts(t[5]));
                return "ok";
            case "getBinaryValue":
                return show(WindowsRegistry.getBinaryValue0(view, root, path, text(t[4])));
            case "setBinaryValue":
                WindowsRegistry.setBinaryValue0(view, root, path, text(t[4]), bytes(t[5]));
                return "ok";
            case "setNoneValue":
                WindowsRegistry.setNoneValue0(view, root, path, text(t[4]), bytes(t[5]));
                return "ok";
            default:
                return "?? unknown command " + command;
        }
    }

    static int number(String token) {
        return (int) Long.decode(token).longValue();
    }

    static boolean bool(String token) {
        return Boolean.parseBoolean(token);
    }

    static String text(String token) {
        if (token.equals("<null>")) {
            return null;
        }
        if (token.equals("<empty>")) {
            return "";
        }
        StringBuilder b = new StringBuilder();
        for (int i = 0; i < token.length(); i++) {
            char c = token.charAt(i);
            if (c != '^' || i + 1 >= token.length()) {
                b.append(c);
                continue;
            }
            char e = token.charAt(++i);
            if (e == 's') {
                b.append(' ');
            } else if (e == '0') {
                b.append('\0');
            } else if (e == 'u') {
                b.append((char) Integer.parseInt(token.substring(i + 1, i + 5), 16));
                i += 4;
            } else if (e == 'r') {
                int colon = token.indexOf(':', i);
                int count = Integer.parseInt(token.substring(i + 1, colon));
                String unit = text(token.substring(colon + 1));
                b.append(unit.repeat(count));
                i = token.length();
            } else {
                b.append(e);
            }
        }
        return b.toString();
    }

    static String[] texts(String token) {
        if (token.equals("<null>")) {
            return null;
        }
        if (token.equals("@")) {
            return new String[0];
        }
        String[] parts = token.substring(1).split("\\|", -1);
        String[] result = new String[parts.length];
        for (int i = 0; i < parts.length; i++) {
            result[i] = text(parts[i]);
        }
        return result;
    }

    static byte[] bytes(String token) {
        if (token.equals("<null>")) {
            return null;
        }
        String hex = token.substring(1);
        if (hex.startsWith("*")) {
            byte[] data = new byte[Integer.parseInt(hex.substring(1))];
            for (int i = 0; i < data.length; i++) {
                data[i] = (byte) (i % 251);
            }
            return data;
        }
        byte[] data = new byte[hex.length() / 2];
        for (int i = 0; i < data.length; i++) {
            data[i] = (byte) Integer.parseInt(hex.substring(2 * i, 2 * i + 2), 16);
        }
        return data;
    }

    static String show(String s) {
        if (s == null) {
            return "<null>";
        }
        StringBuilder b = new StringBuilder("\"");
        for (int i = 0; i < s.length(); i++) {
            char c = s.charAt(i);
            if (c == '^') {
                b.append("^^");
            } else if (c >= 0x21 && c < 0x7F) {
                b.append(c);
            } else if (c == ' ') {
                b.append("^s");
            } else {
                b.append(String.format("^u%04X", (int) c));
            }
        }
        return b.append('"').toString();
    }

    static String show(String[] a) {
        if (a == null) {
            return "<null>";
        }
        List<String> parts = new ArrayList<>();
        for (String s : a) {
            parts.add(show(s));
        }
        return "[" + String.join(", ", parts) + "]";
    }

    static String show(byte[] data) {
        if (data == null) {
            return "<null>";
        }
        if (data.length > 64) {
            long sum = 0;
            boolean counting = true;
            for (int i = 0; i < data.length; i++) {
                sum += data[i] & 0xFF;
                counting &= data[i] == (byte) (i % 251);
            }
            return "#len=" + data.length + ",sum=" + sum + (counting ? ",counting" : "");
        }
        StringBuilder b = new StringBuilder("#");
        for (byte x : data) {
            b.append(String.format("%02x", x & 0xFF));
        }
        return b.toString();
    }
}
