# Sourced by the package's tests on the bench and on the emulated station: one deployment's
# properties, in forms that the package must put into the file's own (a folder without its
# "\", truth words), and the Settings.ini that it must give.
deployment_properties=('OUTPUTFOLDER=C:\scans' DPI=200 COLORTYPE=GREY SCANUI=yes 'EXTERNALPROGRAM=C:\Tools\scan.exe'
  USEEXTERNALPROGRAM=No)
deployed_settings=$'[Path]\r\nPath=C:\\scans\\\r\n[Scanner]\r\nDPI=200\r\nColorType=GREY\r\nIsArray=0\r\nScanPath=C:\\Tools\\scan.exe\r\nScanUI=True\r\n'
# Values that the package refuses, each with the property it names.
refused_properties=(DPI=abc DPI=0 COLORTYPE=grey SCANUI=maybe USEEXTERNALPROGRAM=2)
