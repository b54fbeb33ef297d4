display.txt
