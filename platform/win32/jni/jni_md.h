/* Machine-dependent JNI definitions for Windows, used with the OS-neutral jni.h of a JDK when
   the JNI libraries are cross-built with mingw-w64. A Windows JVM expects exported natives in
   the Windows calling convention and a 32-bit long as jint; a Linux JDK's own jni_md.h would
   hide the natives and make jint an int. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif /* !_JAVASOFT_JNI_MD_H_ */
