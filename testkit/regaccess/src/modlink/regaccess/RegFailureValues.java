package modlink.regaccess;

import com.zeph.pinewood.toolkit.util.regaccess.WindowsRegistry;

/**
 * Prints what every native returns when it fails, for a run in which the NativeException class
 * cannot be found (then nothing is thrown and the failure value is all the caller gets). It
 * never names NativeException itself, so it loads without it. Every call uses a root that does
 * not exist, except the type checks, which read values of the wrong type set up first.
 */
public final class RegFailureValues {
    public static void main(String[] args) throws Throwable {
        final int none = 99;
        final String key = "Software\\modlink-failures";
        WindowsRegistry.createKey0(0, 1, null, key);
        WindowsRegistry.setBinaryValue0(0, 1, key, "bin", new byte[] {1, 2});
        WindowsRegistry.set32BitValue0(0, 1, key, "dword", 5);
        print("checkKeyAccess", WindowsRegistry.checkKeyAccess0(0, none, null, false));
        print("valueExists", WindowsRegistry.valueExists0(0, none, null, "x"));
        print("keyEmpty", WindowsRegistry.keyEmpty0(0, none, null));
        print("countSubKeys", WindowsRegistry.countSubKeys0(0, none, null));
        print("countValues", WindowsRegistry.countValues0(0, none, null));
        print("getSubkeyNames", WindowsRegistry.getSubkeyNames0(0, none, null));
        print("getValueNames", WindowsRegistry.getValueNames0(0, none, null));
        print("getValueType", WindowsRegistry.getValueType0(0, none, null, "x"));
        WindowsRegistry.createKey0(0, none, null, "x");
        WindowsRegistry.deleteKey0(0, none, null, "x");
        WindowsRegistry.deleteValue0(0, none, null, "x");
        print("getStringValue", WindowsRegistry.getStringValue0(0, none, null, "x", false));
        print("getStringValue(binary)", WindowsRegistry.getStringValue0(0, 1, key, "bin", false));
        WindowsRegistry.setStringValue0(0, none, null, "x", "v", false);
        print("get32BitValue", WindowsRegistry.get32BitValue0(0, none, null, "x"));
        print("get32BitValue(binary)", WindowsRegistry.get32BitValue0(0, 1, key, "bin"));
        WindowsRegistry.set32BitValue0(0, none, null, "x", 1);
        print("getMultiStringValue", WindowsRegistry.getMultiStringValue0(0, none, null, "x"));
        print("getMultiStringValue(dword)", WindowsRegistry.getMultiStringValue0(0, 1, key, "dword"));
        WindowsRegistry.setMultiStringValue0(0, none, null, "x", new String[] {"a"});
        print("getBinaryValue", WindowsRegistry.getBinaryValue0(0, none, null, "x"));
        print("getBinaryValue(dword)", WindowsRegistry.getBinaryValue0(0, 1, key, "dword"));
        WindowsRegistry.setBinaryValue0(0, none, null, "x", new byte[] {1});
        WindowsRegistry.setNoneValue0(0, none, null, "x", new byte[] {1});
        System.out.println("void calls returned");
    }

    static void print(String what, Object result) {
        System.out.println(what + " " + (result instanceof Object[] ? "array" : String.valueOf(result)));
    }
}
