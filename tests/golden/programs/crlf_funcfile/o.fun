device1.txt
